#include "recharge/cataloguelist.h"

#include "recharge/catalogue.h"
#include "widgets/keyedlistview.h"

void showCatalogueRows(KeyedListView *list, const Catalogue &catalogue, qsizetype count)
{
    for (qsizetype i = count - 1; i >= 0; --i) {
        const CatalogueRow &row = catalogue.rowFromTop(i);
        const int item = list->insertTop(row.item.list);
        list->setData(item, QStringLiteral("list"), kCatalogueKeyRole, row.key);
        list->setText(item, QStringLiteral("name"), row.item.name);
        list->setText(item, QStringLiteral("price"), row.item.price);
        list->setText(item, QStringLiteral("qu"), row.item.qu);
        list->setText(item, QStringLiteral("value"), row.item.value);
    }
}
