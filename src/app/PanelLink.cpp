#include "app/PanelLink.h"

#ifdef QX_PANEL_HAS_DEMO
#include "link/DemoLink.h"
#endif

namespace qx::app {

bool demoLinkAvailable()
{
#ifdef QX_PANEL_HAS_DEMO
    return true;
#else
    return false;
#endif
}

std::unique_ptr<LooperLink> makePanelLink(MainQueue& mainQueue, bool demo)
{
    if (!demo) return makeSystemLink(mainQueue);
#ifdef QX_PANEL_HAS_DEMO
    return makeDemoLink(mainQueue);
#else
    return nullptr;
#endif
}

}  // namespace qx::app
