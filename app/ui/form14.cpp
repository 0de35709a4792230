#include "app/ui/form14.h"

Form14::Form14(const QString &version, const QString &address, QWidget *loginWindow)
    : m_version(version), m_address(address), m_loginWindow(loginWindow)
{
    setObjectName(QStringLiteral("Form14"));
    setAttribute(Qt::WA_DeleteOnClose);
}
