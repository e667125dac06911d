#include "app/shell/tavrixview.h"

CTavrixView::CTavrixView(CTavrixDoc* document, QWidget* parent)
    : QTreeView(parent), m_document(document) {}
