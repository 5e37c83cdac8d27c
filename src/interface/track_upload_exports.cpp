// Export of the explicit upload trigger: packs the user dot file on the command thread; the
// upload thread posts it with its next pass.
#include <functional>

#include <unified_track/unified_track.h>

#include "host/export_guard.h"
#include "manager/delivery_constants.h"
#include "manager/UTManager.h"
#include "manager/UTThreadMgr.h"

using unified_track::GuardExport;
using unified_track::UTManager;
using unified_track::UTThreadMgr;

extern "C" {

UT_API OST_UT_RESULT Track_UploadUserTrack(void) {
    return GuardExport(nullptr, static_cast<OST_UT_RESULT>(UT_SUCCESS), [&]() -> OST_UT_RESULT {
        UTManager *manager = &UTManager::GetInstance();
        UTThreadMgr::GetInstance().PushCmd(std::function<void()>([manager] { (void)manager->UploadUserTrack(); }),
                                           unified_track::kCmdUploadUserTrack);
        return UT_SUCCESS;
    });
}

}  // extern "C"
