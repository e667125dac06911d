// The view class the document template declares. The main window puts its four
// panes in place of the template's view, so no window of this class is made;
// it exists so the template names a real class.
#pragma once

#include <QTreeView>

class CTavrixDoc;

class CTavrixView : public QTreeView {
public:
    explicit CTavrixView(CTavrixDoc* document, QWidget* parent = nullptr);

    CTavrixDoc* GetDocument() const { return m_document; }

private:
    CTavrixDoc* m_document;
};
