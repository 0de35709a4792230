#include "app/core/loginanswer.h"

#include "app/core/platform.h"

#include <utility>

std::optional<LoginAnswer> parseLoginAnswer(const QString &bodyHtml, QString *missing)
{
    MarkerReader reader(bodyHtml);
    LoginAnswer answer;
    const std::pair<const char *, QString *> fields[] = {
        {"sessionkey", &answer.sessionKey}, {"username", &answer.userName},
        {"usermoney", &answer.balance},     {"userdjmoney", &answer.frozenFunds},
        {"userid", &answer.userId},         {"usersj", &answer.userLevel},
    };
    for (const auto &[name, target] : fields) {
        const auto value = reader.next(QString::fromLatin1(name));
        if (!value) {
            if (missing)
                *missing = QStringLiteral("?%1?=").arg(QLatin1String(name));
            return std::nullopt;
        }
        *target = *value;
    }
    CutText &rest = reader.rest();
    answer.bonusCommission = ExtractBetween(u"?jkx_yjsxmoney?=", u"?@?", rest);
    answer.salesCommission = ExtractBetween(u"?jkx_yjspmoney?=", u"?@?", rest);
    return answer;
}
