// Interface identifiers that the SDK subset declares but defines nowhere: the editor view, its
// frame and content scaling, and on Linux the host's run loop with its event and timer handlers.
#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/gui/iplugviewcontentscalesupport.h"

namespace Steinberg {
DEF_CLASS_IID (IPlugView)
DEF_CLASS_IID (IPlugFrame)
DEF_CLASS_IID (IPlugViewContentScaleSupport)
#if SMTG_OS_LINUX
namespace Linux {
DEF_CLASS_IID (IEventHandler)
DEF_CLASS_IID (ITimerHandler)
DEF_CLASS_IID (IRunLoop)
} // namespace Linux
#endif
} // namespace Steinberg
