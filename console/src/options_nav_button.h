// COptionsNavButton: a navigation or tab button of the control panel. It is
// a skin button with an active state: while active it shows the three
// active bitmaps and the standard arrow cursor, while inactive its ordinary
// bitmaps and its own cursor. The button widget itself is made by the
// skinned dialog from the layout; this object keeps its two faces and
// switches between them.
#pragma once

#include <QCursor>
#include <QPixmap>
#include <QPointer>
#include <optional>

#include "skin/skin_button.h"

class CCfgPageBase;

class COptionsNavButton {
public:
    struct Faces {
        QPixmap normal, down, over, disabled, downDisabled, focus, mask;
        std::optional<QCursor> cursor;
    };

    COptionsNavButton(skin::CSkinButton* button, Faces inactive, QPixmap active, QPixmap activeOver,
                      QPixmap activeDown);

    // Changes the face only when the state changes; each change raises the
    // button and repaints it.
    void SetActive(bool active);
    bool IsActive() const { return m_bActive; }

    void Show(bool show);
    void Enable(bool enable);
    bool IsEnabled() const;
    bool IsVisible() const;

    // The group or page a click activates (null: none).
    void SetOwner(CCfgPageBase* owner) { m_pOwner = owner; }
    CCfgPageBase* GetOwner() const { return m_pOwner; }
    skin::CSkinButton* Button() const { return m_pButton.data(); }

private:
    void ApplyFaces();

    QPointer<skin::CSkinButton> m_pButton;
    Faces m_inactive;
    QPixmap m_active, m_activeOver, m_activeDown;
    bool m_bActive = false;
    CCfgPageBase* m_pOwner = nullptr;
};
