// CConfirmationDlg: the yes/no question asked before an item action that
// changes what the scanner reports (allow, restore, move back to detected).
// A skinned message box with the question of its kind; DoModal answers IDOK
// (1) for yes and IDCANCEL (2) for anything else.
#pragma once

#include <QString>
#include <functional>

class QWidget;

class CConfirmationDlg {
public:
    // Kinds of question.
    enum Kind : int {
        kRemoveDetected = 0,
        kRemoveAll = 1,
        kAllow = 2,
        kRestore = 4,
        kMoveToDetected = 5,
    };

    // The three texts replace the kind's title, question and detail when not
    // null; the results pages pass null for all three.
    CConfirmationDlg(int kind, QWidget* owner, const char* title = nullptr, const char* question = nullptr,
                     const char* detail = nullptr);

    int DoModal();

    // The question of KIND as shown.
    static QString QuestionText(int kind);

    // Replaces the dialog for every CConfirmationDlg of the process (tests
    // answer here); an empty function restores the dialog.
    using ModalHook = std::function<int(int kind, QWidget* owner)>;
    static void SetModalHook(ModalHook hook);

private:
    int m_nKind;
    QWidget* m_pOwner;
    QString m_strTitle;
    QString m_strQuestion;
};
