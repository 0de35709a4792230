#include "app/ui/accountpage.h"

QWidget *createAccountPage(const QString &, AccountPanelHost *, QWidget *)
{
    return nullptr;
}
