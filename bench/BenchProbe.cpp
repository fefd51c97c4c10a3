#include "bench/BenchProbe.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

#include <unistd.h>

#include <cstdio>
#include <ctime>

std::int64_t MonotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

namespace {
std::int64_t AreaOf(const QRegion& region)
{
    std::int64_t area = 0;
    for (const QRect& rect : region)
        area += static_cast<std::int64_t>(rect.width()) * rect.height();
    return area;
}
} // namespace

BenchApplication::BenchApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    // Silent until a command comes, so it adds no wake-up of its own to an idle period.
    input_ = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
    QObject::connect(input_, &QSocketNotifier::activated, this, [this] { readCommands(); });
}

BenchApplication::~BenchApplication() = default;

void BenchApplication::Watch(QWidget* window, std::function<QString(const QWidget*)> captionOf)
{
    window_ = window;
    captionOf_ = std::move(captionOf);
}

QWidget* BenchApplication::watchedWidget(QObject* object) const
{
    if (!window_ || !object->isWidgetType())
        return nullptr;
    auto* widget = static_cast<QWidget*>(object);
    return widget == window_ || window_->isAncestorOf(widget) ? widget : nullptr;
}

bool BenchApplication::notify(QObject* receiver, QEvent* event)
{
    const QEvent::Type type = event->type();
    QWidget* widget = (type == QEvent::Paint || type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick)
                          ? watchedWidget(receiver)
                          : nullptr;
    if (!widget)
        return QApplication::notify(receiver, event);

    if (type != QEvent::Paint) {
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
            widget->objectName().startsWith(QLatin1String("bt"))) {
            pressed_ = widget;
            pressNs_ = MonotonicNs();
        }
        return QApplication::notify(receiver, event);
    }

    if (counting_) {
        ++paintCount_;
        const QString name = widget->objectName().isEmpty() ? QString::fromLatin1(widget->metaObject()->className())
                                                             : widget->objectName();
        ++paintsByWidget_[name];
        painted_ += static_cast<QPaintEvent*>(event)->region().translated(widget->mapTo(window_, QPoint(0, 0)));
    }
    const bool result = QApplication::notify(receiver, event);
    const std::int64_t paintedNs = MonotonicNs();

    if (!firstPaintSeen_) {
        firstPaintSeen_ = true;
        QTimer::singleShot(0, this, [this] { reply("painted " + QByteArray::number(static_cast<qint64>(MonotonicNs()))); });
    }
    if (widget == pressed_ && captionOf_ && !captionOf_(widget).isEmpty()) {
        pressed_ = nullptr;
        reply("press " + QByteArray::number(static_cast<qint64>(paintedNs - pressNs_)));
    }
    return result;
}

void BenchApplication::reply(const QByteArray& line)
{
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void BenchApplication::readCommands()
{
    char buffer[4096];
    const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (got <= 0) {
        // The driver is gone: stop listening, or the notifier would fire forever.
        input_->setEnabled(false);
        quit();
        return;
    }
    pending_.append(buffer, static_cast<qsizetype>(got));
    qsizetype end;
    while ((end = pending_.indexOf('\n')) >= 0) {
        const QByteArray line = pending_.left(end).trimmed();
        pending_.remove(0, end + 1);
        if (!line.isEmpty())
            runCommand(line);
    }
}

void BenchApplication::runCommand(const QByteArray& line)
{
    const QList<QByteArray> words = line.split(' ');
    const QByteArray& command = words.first();
    const QString name = words.size() > 1 ? QString::fromUtf8(words[1]) : QString();
    QWidget* named = nullptr;
    if (window_ && !name.isEmpty())
        named = window_->objectName() == name ? window_.data() : window_->findChild<QWidget*>(name);

    if (command == "pos") {
        const QPoint centre = named ? named->mapToGlobal(named->rect().center()) : QPoint(-1, -1);
        reply("pos " + QByteArray::number(centre.x()) + ' ' + QByteArray::number(centre.y()));
    } else if (command == "rect") {
        const QRect rect = named ? QRect(named->mapTo(window_, QPoint(0, 0)), named->size()) : QRect();
        reply("rect " + QByteArray::number(rect.x()) + ' ' + QByteArray::number(rect.y()) + ' ' +
              QByteArray::number(rect.width()) + ' ' + QByteArray::number(rect.height()));
    } else if (command == "count") {
        counting_ = true;
        paintCount_ = 0;
        painted_ = QRegion();
        paintsByWidget_.clear();
        reply("ok");
    } else if (command == "report") {
        counting_ = false;
        const QRegion inside = named ? QRegion(QRect(named->mapTo(window_, QPoint(0, 0)), named->size())) : QRegion();
        QByteArray text = "paints " + QByteArray::number(paintCount_) + ' ' +
                          QByteArray::number(static_cast<qint64>(AreaOf(painted_))) + ' ' +
                          QByteArray::number(static_cast<qint64>(AreaOf(painted_.subtracted(inside))));
        for (auto it = paintsByWidget_.cbegin(); it != paintsByWidget_.cend(); ++it)
            text += ' ' + it.key().toUtf8() + '=' + QByteArray::number(it.value());
        reply(text);
    } else if (command == "quit") {
        quit();
    } else {
        reply("error unknown command");
    }
}
