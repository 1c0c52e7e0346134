#include "tests/support/TestClient.h"

namespace morvid::test {

host::TSysObjectList& TTestClient::GetReports() {
    if (OnGetReports) {
        OnGetReports();
    }
    return Reports;
}

} // namespace morvid::test
