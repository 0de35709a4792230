// The login answer: the body's "?name?=value?@?" fields, and the account
// figures the main window reads from a later title.
#include "app/core/accountfigures.h"
#include "app/core/loginanswer.h"
#include "tests/fuzz/fuzztext.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString page = utf8Text(data, size);
    QString missing;
    const auto answer = parseLoginAnswer(page, &missing);
    if (answer) {
        FUZZ_REQUIRE(missing.isEmpty());
        // A value never runs over its end marker.
        for (const QString *v : {&answer->sessionKey, &answer->userName, &answer->balance,
                                 &answer->frozenFunds, &answer->userId, &answer->userLevel})
            FUZZ_REQUIRE(!v->contains(QStringLiteral("?@?")));
    } else {
        FUZZ_REQUIRE(!missing.isEmpty());
    }
    const auto figures = accountFigureTexts(page);
    FUZZ_REQUIRE(figures.size() <= 4);
    return 0;
}
