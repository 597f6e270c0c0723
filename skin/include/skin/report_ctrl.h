// CReportCtrl: a report-style list whose chosen columns the user cannot
// resize, drawn row by row by CReportCtrlHelper (highlight from the end of
// the icon, a drop-target bar, cells inset and vertically centred).
#pragma once

#include <QStyledItemDelegate>
#include <QTreeWidget>

#include <cstdint>

namespace skin {

class CReportCtrl;

class CReportCtrlHelper : public QStyledItemDelegate {
public:
    explicit CReportCtrlHelper(CReportCtrl* list);

    void SetDropTarget(int row, bool after);
    void SetDropTarget(QPoint point);
    void ClearDropTarget();
    // The drop-target row (-1: none); AFTER tells on which side the mark is.
    int GetDropTarget(bool* after = nullptr) const;
    int GetIndexFromPoint(QPoint point) const;
    void SetSelectionFromPoint(QPoint point);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

    // The colour of the drop-target bar.
    static constexpr std::uint32_t kDropBarColour = 0x646464;

private:
    CReportCtrl* list_;
    int dropRow_ = -1;
    bool dropAfter_ = false;
};

class CReportCtrl : public QTreeWidget {
    Q_OBJECT
public:
    explicit CReportCtrl(QWidget* parent = nullptr);

    // Makes the list a child of PARENT with control ID ID (report view,
    // rows drawn by the helper).
    bool Create(QWidget* parent, std::uint32_t style, int id);
    // The user can no longer drag this column's divider.
    void AddRejectColumnResize(int column);
    bool IsColumnResizeRejected(int column) const;

    CReportCtrlHelper& Helper() { return *helper_; }

private:
    CReportCtrlHelper* helper_;
    QList<int> rejected_;
};

}  // namespace skin
