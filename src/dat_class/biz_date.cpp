// CDate::GetBizDateAdjusted: the nearest business day around weekends and a
// holiday list.
#include "vorant/arrays.hpp"
#include "vorant/date.hpp"

namespace {

const int kSunday = 0;
const int kSaturday = 6;

}  // namespace

CDate CDate::GetBizDateAdjusted(E_Dir p_eDir, CDateArray* p_pHolidays) const {
    CDate r(*this);
    // AddDay leaves an unset date alone: nothing would ever move.
    if (!r.IsValid())
        return r;
    bool bForward = static_cast<int>(p_eDir) == 1;
    for (;;) {
        int w = r.GetDayOfWeek();
        if (w == kSunday) {
            r.AddDay(bForward ? 1 : -2);
        } else if (w == kSaturday) {
            r.AddDay(bForward ? 2 : -1);
        } else if (p_pHolidays == nullptr || p_pHolidays->Find(r) < 0) {
            return r;
        } else {
            r.AddDay(bForward ? 1 : -1);
        }
    }
}
