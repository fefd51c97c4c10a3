#include "MemoryFileSystem.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tovra::fuzzing {

namespace {
constexpr int FirstDescriptor = 3;
constexpr std::string_view FolderPrefix = "/d/";
static_assert(FolderPrefix.substr(0, 2) == MemoryFileSystem::Folder);
constexpr std::string_view NullDevice = "/dev/null";
} // namespace

MemoryFileSystem::MemoryFileSystem()
{
    nodes_.reserve(16);
    entries_.reserve(8);
    files_.reserve(8);
    nullNode_ = NewNode(FileKind::NullDevice, 0666);
    folderNode_ = NewNode(FileKind::Directory, 0777);
}

MemoryFileSystem::~MemoryFileSystem() = default;

int MemoryFileSystem::NewNode(FileKind kind, mode_t mode)
{
    Node node;
    node.kind = kind;
    node.mode = mode;
    node.owner = user;
    node.inode = nodes_.size() + 1;
    node.modified = clock_;
    nodes_.push_back(std::move(node));
    return static_cast<int>(nodes_.size() - 1);
}

void MemoryFileSystem::PutFile(const std::string& name, std::span<const std::uint8_t> bytes, mode_t mode)
{
    Remove(name);
    const int node = NewNode(FileKind::Regular, mode);
    nodes_[static_cast<std::size_t>(node)].bytes.assign(bytes.begin(), bytes.end());
    entries_.push_back({name, node});
}

void MemoryFileSystem::PutNode(const std::string& name, FileKind kind)
{
    Remove(name);
    entries_.push_back({name, NewNode(kind, 0777)});
}

void MemoryFileSystem::PutLink(const std::string& name, const std::string& text)
{
    Remove(name);
    const int node = NewNode(FileKind::Link, 0777);
    nodes_[static_cast<std::size_t>(node)].linkText = text;
    entries_.push_back({name, node});
}

void MemoryFileSystem::Remove(const std::string& name)
{
    std::erase_if(entries_, [&](const Entry& entry) { return entry.name == name; });
}

FileKind MemoryFileSystem::KindAt(const std::string& name) const
{
    const int entry = EntryNamed(name);
    return entry < 0 ? FileKind::Other : nodes_[static_cast<std::size_t>(entries_[static_cast<std::size_t>(entry)].node)].kind;
}

const std::vector<std::uint8_t>* MemoryFileSystem::BytesAt(const std::string& name) const
{
    const int entry = EntryNamed(name);
    return entry < 0 ? nullptr : &nodes_[static_cast<std::size_t>(entries_[static_cast<std::size_t>(entry)].node)].bytes;
}

bool MemoryFileSystem::HasNameStartingWith(std::string_view prefix) const
{
    return std::any_of(entries_.begin(), entries_.end(),
                       [&](const Entry& entry) { return entry.name.starts_with(prefix); });
}

void MemoryFileSystem::RemoveNamesStartingWith(std::string_view prefix)
{
    std::erase_if(entries_, [&](const Entry& entry) { return entry.name.starts_with(prefix); });
}

int MemoryFileSystem::OpenDescriptors() const
{
    return static_cast<int>(std::count_if(files_.begin(), files_.end(), [](const OpenFile& file) { return file.node >= 0; }));
}

int MemoryFileSystem::Begin(Call call)
{
    ++calls_;
    if (calls_ == interruptAt && interrupt && !interrupting_) {
        interrupting_ = true;
        interrupt();
        interrupting_ = false;
    }
    if (calls_ != failAt)
        return 0;
    ++failed[call];
    return failError == 0 ? 1 : -failError;
}

MemoryFileSystem::OpenFile* MemoryFileSystem::BeginOnFile(Call call, int fd, int& fault, bool writing)
{
    // The call is counted even on a bad descriptor, and a bad descriptor wins over an
    // injected failure.
    fault = Begin(call);
    OpenFile* file = FileOf(fd);
    if (!file || (writing && !file->writable))
        fault = -EBADF;
    return fault < 0 ? nullptr : file;
}

int MemoryFileSystem::BeginFolderChange(Call call, const std::string& path, bool destinationInFolder)
{
    if (const int fault = Begin(call); fault < 0)
        return fault;
    const int entry = EntryOf(path);
    if (entry < 0 || !destinationInFolder)
        return -ENOENT;
    if (!folderWritable_)
        return -EACCES;
    return entry;
}

int MemoryFileSystem::EntryNamed(std::string_view name) const
{
    // Names of other lengths are told apart without comparing their bytes.
    for (std::size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i].name == name)
            return static_cast<int>(i);
    return -1;
}

int MemoryFileSystem::EntryOf(std::string_view path) const
{
    return path.starts_with(FolderPrefix) ? EntryNamed(path.substr(FolderPrefix.size())) : -1;
}

int MemoryFileSystem::Follow(std::string_view path) const
{
    if (path == NullDevice)
        return nullNode_;
    if (path == Folder)
        return folderNode_;
    const int entry = EntryOf(path);
    if (entry < 0)
        return -1;
    const Node& node = nodes_[static_cast<std::size_t>(entries_[static_cast<std::size_t>(entry)].node)];
    if (node.kind != FileKind::Link)
        return entries_[static_cast<std::size_t>(entry)].node;
    // One hop is all the fuzzer's links take; a link to a link is a loop here.
    const std::string_view target = node.linkText;
    if (target == NullDevice)
        return nullNode_;
    const int next = target.starts_with('/') ? EntryOf(target) : EntryNamed(target);
    if (next < 0)
        return -1;
    const int found = entries_[static_cast<std::size_t>(next)].node;
    return nodes_[static_cast<std::size_t>(found)].kind == FileKind::Link ? -2 : found;
}

int MemoryFileSystem::Opened(int node, bool writable)
{
    OpenFile file{node, 0, writable, nextOpenId_++};
    for (std::size_t i = 0; i < files_.size(); ++i) {
        if (files_[i].node < 0) {
            files_[i] = file;
            return static_cast<int>(i) + FirstDescriptor;
        }
    }
    files_.push_back(file);
    return static_cast<int>(files_.size()) - 1 + FirstDescriptor;
}

MemoryFileSystem::OpenFile* MemoryFileSystem::FileOf(int fd)
{
    const auto index = static_cast<std::size_t>(fd - FirstDescriptor);
    if (fd < FirstDescriptor || index >= files_.size() || files_[index].node < 0)
        return nullptr;
    return &files_[index];
}

void MemoryFileSystem::Touch(Node& node)
{
    node.modified = ++clock_;
}

int MemoryFileSystem::OpenReadWrite(const std::string& path)
{
    if (const int fault = Begin(OpenReadWriteCall); fault < 0)
        return fault;
    const int node = Follow(path);
    if (node == -2)
        return -ELOOP;
    if (node < 0)
        return -ENOENT;
    const Node& found = nodes_[static_cast<std::size_t>(node)];
    if (found.kind == FileKind::Directory)
        return -EISDIR;
    if (found.kind == FileKind::Socket)
        return -ENXIO;
    if ((found.mode & 0220) == 0) // the users share a group
        return -EACCES;
    return Opened(node, true);
}

int MemoryFileSystem::OpenReadOnly(const std::string& path)
{
    if (const int fault = Begin(OpenReadOnlyCall); fault < 0)
        return fault;
    const int node = Follow(path);
    if (node < 0)
        return node == -2 ? -ELOOP : -ENOENT;
    if (nodes_[static_cast<std::size_t>(node)].kind == FileKind::Socket)
        return -ENXIO;
    return Opened(node, false);
}

int MemoryFileSystem::CreateExclusive(const std::string& path, mode_t mode)
{
    if (const int fault = Begin(CreateExclusiveCall); fault < 0)
        return fault;
    if (!path.starts_with(FolderPrefix))
        return -ENOENT;
    if (!folderWritable_)
        return -EACCES;
    if (EntryOf(path) >= 0)
        return -EEXIST;
    const int node = NewNode(FileKind::Regular, mode & 0775);
    entries_.push_back({path.substr(FolderPrefix.size()), node});
    return Opened(node, true);
}

int MemoryFileSystem::Transfer(OpenFile& file, std::size_t size, int fault) const
{
    const Node& node = nodes_[static_cast<std::size_t>(file.node)];
    if (node.kind == FileKind::Fifo)
        return -EAGAIN;
    if (node.kind != FileKind::Regular && node.kind != FileKind::NullDevice)
        return -EISDIR;
    return static_cast<int>(fault == 1 ? (size + 1) / 2 : size);
}

ssize_t MemoryFileSystem::Read(int fd, void* buffer, std::size_t size)
{
    int fault = 0;
    OpenFile* file = BeginOnFile(ReadCall, fd, fault);
    if (!file)
        return fault;
    const int allowed = Transfer(*file, size, fault);
    if (allowed < 0)
        return allowed;
    const Node& node = nodes_[static_cast<std::size_t>(file->node)];
    const auto position = static_cast<std::size_t>(file->position);
    const std::size_t count = position >= node.bytes.size() ? 0 : std::min<std::size_t>(static_cast<std::size_t>(allowed), node.bytes.size() - position);
    if (count > 0)
        std::memcpy(buffer, node.bytes.data() + position, count);
    file->position += static_cast<off_t>(count);
    return static_cast<ssize_t>(count);
}

ssize_t MemoryFileSystem::Write(int fd, const void* buffer, std::size_t size)
{
    OpenFile* file = FileOf(fd);
    if (!file)
        return -EBADF;
    const ssize_t written = WriteBytes(WriteCall, fd, buffer, size, file->position);
    if (written > 0)
        file->position += written;
    return written;
}

ssize_t MemoryFileSystem::WriteAt(int fd, const void* buffer, std::size_t size, off_t offset)
{
    return WriteBytes(WriteAtCall, fd, buffer, size, offset);
}

ssize_t MemoryFileSystem::WriteBytes(Call call, int fd, const void* buffer, std::size_t size, off_t offset)
{
    int fault = 0;
    OpenFile* file = BeginOnFile(call, fd, fault, true);
    if (!file)
        return fault;
    const int allowed = Transfer(*file, size, fault);
    if (allowed < 0)
        return allowed;
    Node& node = nodes_[static_cast<std::size_t>(file->node)];
    if (node.kind == FileKind::NullDevice) {
        nullWritten_ = true;
        return allowed;
    }
    const auto end = static_cast<std::size_t>(offset) + static_cast<std::size_t>(allowed);
    if (node.bytes.size() < end)
        node.bytes.resize(end);
    std::memcpy(node.bytes.data() + offset, buffer, static_cast<std::size_t>(allowed));
    Touch(node);
    if (std::any_of(entries_.begin(), entries_.end(), [&](const Entry& entry) {
            return entry.node == file->node && !entry.name.starts_with(".");
        }))
        ++inPlaceWrites;
    return allowed;
}

int MemoryFileSystem::Truncate(int fd, off_t size)
{
    int fault = 0;
    OpenFile* file = BeginOnFile(TruncateCall, fd, fault, true);
    if (!file)
        return fault;
    Node& node = nodes_[static_cast<std::size_t>(file->node)];
    if (node.kind != FileKind::Regular)
        return -EINVAL;
    node.bytes.resize(static_cast<std::size_t>(size));
    Touch(node);
    return 0;
}

int MemoryFileSystem::Sync(int fd)
{
    const int fault = Begin(SyncCall);
    if (!FileOf(fd))
        return -EBADF;
    return std::min(fault, 0);
}

int MemoryFileSystem::Close(int fd)
{
    const int fault = Begin(CloseCall);
    OpenFile* file = FileOf(fd);
    if (!file)
        return -EBADF;
    Node& node = nodes_[static_cast<std::size_t>(file->node)];
    if (node.lockedBy == file->id)
        node.lockedBy = 0;
    file->node = -1;
    return std::min(fault, 0);
}

namespace {
void Describe(FileStatus& status, FileKind kind, mode_t mode, uid_t owner, ino_t inode, off_t size, std::int64_t modified)
{
    status = FileStatus{};
    status.kind = kind;
    status.permissions = mode;
    status.owner = owner;
    status.group = 100;
    status.device = 1;
    status.inode = inode;
    status.size = size;
    status.modified.tv_sec = static_cast<time_t>(modified);
}
} // namespace

int MemoryFileSystem::Status(int fd, FileStatus& status)
{
    int fault = 0;
    OpenFile* file = BeginOnFile(StatusCall, fd, fault);
    if (!file)
        return fault;
    const Node& node = nodes_[static_cast<std::size_t>(file->node)];
    Describe(status, node.kind, node.mode, node.owner, node.inode, static_cast<off_t>(node.bytes.size()), node.modified);
    return 0;
}

int MemoryFileSystem::StatusOf(const std::string& path, FileStatus& status)
{
    if (const int fault = Begin(StatusOfCall); fault < 0)
        return fault;
    const int found = Follow(path);
    if (found < 0)
        return found == -2 ? -ELOOP : -ENOENT;
    const Node& node = nodes_[static_cast<std::size_t>(found)];
    Describe(status, node.kind, node.mode, node.owner, node.inode, static_cast<off_t>(node.bytes.size()), node.modified);
    return 0;
}

int MemoryFileSystem::SetPermissions(int fd, mode_t permissions)
{
    int fault = 0;
    OpenFile* file = BeginOnFile(SetPermissionsCall, fd, fault);
    if (!file)
        return fault;
    Node& node = nodes_[static_cast<std::size_t>(file->node)];
    if (node.owner != user)
        return -EPERM;
    node.mode = permissions;
    return 0;
}

int MemoryFileSystem::SetOwner(int fd, uid_t owner, gid_t)
{
    int fault = 0;
    OpenFile* file = BeginOnFile(SetOwnerCall, fd, fault);
    if (!file)
        return fault;
    Node& node = nodes_[static_cast<std::size_t>(file->node)];
    if (owner != node.owner) // no user may give a file away
        return -EPERM;
    return 0;
}

int MemoryFileSystem::TryLock(int fd)
{
    int fault = 0;
    OpenFile* file = BeginOnFile(TryLockCall, fd, fault);
    if (!file)
        return fault;
    Node& node = nodes_[static_cast<std::size_t>(file->node)];
    if (node.lockedBy != 0 && node.lockedBy != file->id)
        return -EWOULDBLOCK;
    node.lockedBy = file->id;
    return 0;
}

int MemoryFileSystem::Rename(const std::string& from, const std::string& to)
{
    const int source = BeginFolderChange(RenameCall, from, to.starts_with(FolderPrefix));
    if (source < 0)
        return source;
    const int node = entries_[static_cast<std::size_t>(source)].node;
    if (const int existing = EntryOf(to); existing >= 0) {
        const FileKind kind = nodes_[static_cast<std::size_t>(entries_[static_cast<std::size_t>(existing)].node)].kind;
        if (kind == FileKind::Directory)
            return -EISDIR;
        entries_.erase(entries_.begin() + existing);
    }
    Remove(from.substr(FolderPrefix.size()));
    entries_.push_back({to.substr(FolderPrefix.size()), node});
    return 0;
}

int MemoryFileSystem::Unlink(const std::string& path)
{
    const int entry = BeginFolderChange(UnlinkCall, path);
    if (entry < 0)
        return entry;
    entries_.erase(entries_.begin() + entry);
    return 0;
}

int MemoryFileSystem::Link(const std::string& from, const std::string& to)
{
    const int source = BeginFolderChange(LinkCall, from, to.starts_with(FolderPrefix));
    if (source < 0)
        return source;
    if (EntryOf(to) >= 0)
        return -EEXIST;
    entries_.push_back({to.substr(FolderPrefix.size()), entries_[static_cast<std::size_t>(source)].node});
    return 0;
}

int MemoryFileSystem::SyncDirectory(const std::string&)
{
    return std::min(Begin(SyncDirectoryCall), 0);
}

int MemoryFileSystem::ReadLink(const std::string& path, std::string& target)
{
    if (const int fault = Begin(ReadLinkCall); fault < 0)
        return fault;
    const int entry = EntryOf(path);
    if (entry < 0)
        return -ENOENT;
    const Node& node = nodes_[static_cast<std::size_t>(entries_[static_cast<std::size_t>(entry)].node)];
    if (node.kind != FileKind::Link)
        return -EINVAL;
    target = node.linkText;
    return 0;
}

int MemoryFileSystem::ListDirectory(const std::string& path, std::vector<std::string>& names)
{
    if (const int fault = Begin(ListDirectoryCall); fault < 0)
        return fault;
    if (path != Folder)
        return -ENOENT;
    names.clear();
    for (const Entry& entry : entries_)
        names.push_back(entry.name);
    return 0;
}

} // namespace tovra::fuzzing
