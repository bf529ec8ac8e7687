#include "forms/common/lookupresult.h"

namespace forms {

LookupResult& lookupResult() {
    static LookupResult result;
    return result;
}

} // namespace forms
