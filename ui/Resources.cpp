#include "Resources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE must be used outside any namespace.
static void initOnce() { Q_INIT_RESOURCE(tovratovratovra); }

void InitUiResources()
{
    static const bool done = (initOnce(), true);
    (void)done;
}
