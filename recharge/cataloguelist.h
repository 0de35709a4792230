#pragma once

#include <QtGlobal>
#include <qnamespace.h>

class Catalogue;
class KeyedListView;

// The role under which a row of ListViewplist keeps its key ("wawa0", …).
inline constexpr int kCatalogueKeyRole = Qt::UserRole + 2;

// Puts the catalogue's newest rows (rowFromTop 0 … count - 1) on top of
// ListViewplist, the newest first.
void showCatalogueRows(KeyedListView *listViewPlist, const Catalogue &catalogue, qsizetype count);
