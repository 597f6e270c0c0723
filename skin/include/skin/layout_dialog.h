// CLayoutDialog: a dialog that keeps its children in place by edge
// constraints (layout_manager.h), run once the window is built and on
// every size change.
//
// The window is built by Create (DoModal and CreateModeless call it; showing
// the dialog calls it too): BuildWindow makes its controls, then
// OnInitDialog runs, as for a dialog made from a template.
//
// Every layout dialog is a window of the message layer (win::CMessageTarget):
// derived dialogs map the messages they handle with MapMessage, and other
// windows and threads reach them with PostMessage and SendMessage on
// GetSafeHwnd().
#pragma once

#include "skin/layout_manager.h"

#include "win/ui/message_target.h"

#include <QDialog>

#include <functional>

namespace skin {

class CLayoutDialog : public QDialog, public win::CMessageTarget {
    Q_OBJECT
public:
    explicit CLayoutDialog(QWidget* parent = nullptr);
    ~CLayoutDialog() override;

    // Builds the window and runs OnInitDialog once; later calls do nothing.
    bool Create();
    bool IsCreated() const { return created_; }
    // Create, then run the dialog modally; returns its result.
    int DoModal();

    // Hook where derived dialogs register their constraints.
    virtual void InitLayout() {}
    bool LayoutChildren();
    CLayoutMetrics* NewChildMetrics(QWidget* child);
    CLayoutManager& LayoutManager() { return layoutManager_; }

    // The application's help file and what opens it; F1 in any layout
    // dialog opens a help file ending in ".chm" (any case) with the viewer.
    static void SetHelpFilePath(const QString& path);
    static QString HelpFilePath();
    static void SetHelpViewer(std::function<void(const QString& path)> viewer);

protected:
    // Makes the window's controls (a template's, in derived dialogs).
    virtual bool BuildWindow() { return true; }
    // Framework initialisation, InitLayout, then the first layout pass.
    virtual bool OnInitDialog();
    // F1: returns true (handled) in every case.
    virtual bool OnHelpInfo();

    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    CLayoutManager layoutManager_;
    bool created_ = false;
    bool creating_ = false;
};

}  // namespace skin
