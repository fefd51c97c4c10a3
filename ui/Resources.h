#pragma once
// The pictures, layouts and help compiled into the windows library. A static library's
// resources are registered only when asked for, so every window that uses them calls this.
void InitUiResources();
