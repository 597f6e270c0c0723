#include "options_nav_button.h"

COptionsNavButton::COptionsNavButton(skin::CSkinButton* button, Faces inactive, QPixmap active,
                                     QPixmap activeOver, QPixmap activeDown)
    : m_pButton(button), m_inactive(std::move(inactive)), m_active(std::move(active)),
      m_activeOver(std::move(activeOver)), m_activeDown(std::move(activeDown))
{
}

void COptionsNavButton::SetActive(bool active)
{
    if (active == m_bActive)
        return;
    m_bActive = active;
    ApplyFaces();
}

void COptionsNavButton::ApplyFaces()
{
    if (m_pButton == nullptr)
        return;
    const Faces& f = m_inactive;
    if (m_bActive) {
        // A missing active bitmap keeps the ordinary one, so a sparse layout
        // still shows a button.
        const QPixmap& normal = m_active.isNull() ? f.normal : m_active;
        const QPixmap& over = m_activeOver.isNull() ? normal : m_activeOver;
        const QPixmap& down = m_activeDown.isNull() ? normal : m_activeDown;
        const QCursor arrow(Qt::ArrowCursor);
        m_pButton->SetSkin(normal, down, over, f.disabled, f.downDisabled, f.focus, f.mask, -1, -1, -1, &arrow);
    } else {
        m_pButton->SetSkin(f.normal, f.down, f.over, f.disabled, f.downDisabled, f.focus, f.mask, -1, -1, -1,
                           f.cursor ? &*f.cursor : nullptr);
    }
    m_pButton->raise();
    m_pButton->update();
}

void COptionsNavButton::Show(bool show)
{
    if (m_pButton != nullptr)
        m_pButton->setVisible(show);
}

void COptionsNavButton::Enable(bool enable)
{
    if (m_pButton != nullptr)
        m_pButton->setEnabled(enable);
}

bool COptionsNavButton::IsEnabled() const { return m_pButton != nullptr && m_pButton->isEnabled(); }

bool COptionsNavButton::IsVisible() const { return m_pButton != nullptr && !m_pButton->isHidden(); }
