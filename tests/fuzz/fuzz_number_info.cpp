// The number-information service's answer, as the manual panel and the
// balance query read it.
#include "recharge/manualrecharge.h"
#include "tests/fuzz/fuzztext.h"
#include "tools/balancequery.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString answer = gbkText(data, size);
    (void)readNumberRegion(answer);
    const QString info = mobileCardInfo(answer);
    const QString area = queryAreaPart(info);
    FUZZ_REQUIRE(area.isEmpty() || area.startsWith(QStringLiteral("s=")));
    return 0;
}
