#include "skin/report_ctrl.h"

#include "skin/control_info.h"

#include <QHeaderView>
#include <QPainter>

namespace skin {

CReportCtrlHelper::CReportCtrlHelper(CReportCtrl* list) : QStyledItemDelegate(list), list_(list) {}

void CReportCtrlHelper::SetDropTarget(int row, bool after)
{
    dropRow_ = row;
    dropAfter_ = after;
    list_->viewport()->update();
}

void CReportCtrlHelper::SetDropTarget(QPoint point)
{
    const int row = GetIndexFromPoint(point);
    bool after = false;
    if (row >= 0) {
        const QRect r = list_->visualRect(list_->model()->index(row, 0));
        after = point.y() > r.center().y();
    }
    SetDropTarget(row, after);
}

void CReportCtrlHelper::ClearDropTarget()
{
    SetDropTarget(-1, false);
}

int CReportCtrlHelper::GetDropTarget(bool* after) const
{
    if (after)
        *after = dropAfter_;
    return dropRow_;
}

int CReportCtrlHelper::GetIndexFromPoint(QPoint point) const
{
    const QModelIndex index = list_->indexAt(point);
    return index.isValid() ? index.row() : -1;
}

void CReportCtrlHelper::SetSelectionFromPoint(QPoint point)
{
    const int row = GetIndexFromPoint(point);
    list_->clearSelection();
    if (row >= 0)
        list_->setCurrentItem(list_->topLevelItem(row));
}

void CReportCtrlHelper::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const
{
    // Nothing is drawn over an open in-place editor.
    if (list_->isPersistentEditorOpen(index))
        return;
    const QRect cell = option.rect;
    const bool selected = option.state & QStyle::State_Selected;
    const QPalette& pal = option.palette;

    QRect fill = cell;
    const QIcon icon = index.data(Qt::DecorationRole).value<QIcon>();
    const int iconSize = option.decorationSize.width();
    if (index.column() == 0 && !icon.isNull())
        fill.setLeft(cell.left() + iconSize + 5);
    painter->fillRect(cell, pal.color(QPalette::Base));
    if (selected)
        painter->fillRect(fill, pal.color(QPalette::Highlight));

    if (index.column() == 0 && !icon.isNull())
        icon.paint(painter, QRect(cell.left(), cell.top() + (cell.height() - iconSize) / 2, iconSize, iconSize));

    QRect textRect = cell;
    if (index.column() == 0 && !icon.isNull())
        textRect.setLeft(fill.left());
    textRect.adjust(4 - 1, 0, -4 - 1, 0);
    const int align = index.model()->headerData(index.column(), Qt::Horizontal, Qt::TextAlignmentRole).toInt();
    Qt::Alignment horizontal = Qt::AlignLeft;
    if (align & Qt::AlignHCenter)
        horizontal = Qt::AlignHCenter;
    else if (align & Qt::AlignRight)
        horizontal = Qt::AlignRight;
    painter->setPen(selected ? pal.color(QPalette::HighlightedText) : QColor(Qt::black));
    const QString text = option.fontMetrics.elidedText(index.data().toString(), Qt::ElideNone, textRect.width());
    painter->drawText(textRect, static_cast<int>(horizontal | Qt::AlignVCenter | Qt::TextSingleLine), text);

    if (index.row() == dropRow_) {
        const QRect bar = dropAfter_ ? QRect(cell.left(), cell.bottom() - 4, cell.width(), 5)
                                     : QRect(cell.left(), cell.top(), cell.width(), 5);
        painter->fillRect(bar, QColor(0x64, 0x64, 0x64));
    }
    if ((option.state & QStyle::State_HasFocus) && index.column() == 0) {
        painter->save();
        painter->setPen(QPen(pal.color(QPalette::Text), 1, Qt::DotLine));
        painter->drawRect(cell.adjusted(0, 0, -1, -1));
        painter->restore();
    }
}

CReportCtrl::CReportCtrl(QWidget* parent) : QTreeWidget(parent), helper_(new CReportCtrlHelper(this))
{
    SetControlClass(this, QStringLiteral("SysListView32"));
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setItemsExpandable(false);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setItemDelegate(helper_);
}

bool CReportCtrl::Create(QWidget* parent, std::uint32_t style, int id)
{
    setParent(parent);
    SetControlId(this, id);
    SetControlStyle(this, style);
    setGeometry(QRect());
    return true;
}

void CReportCtrl::AddRejectColumnResize(int column)
{
    if (!rejected_.contains(column))
        rejected_.append(column);
    // Fixed sections cannot be dragged; the others stay interactive.
    header()->setSectionResizeMode(column, QHeaderView::Fixed);
}

bool CReportCtrl::IsColumnResizeRejected(int column) const
{
    return rejected_.contains(column);
}

}  // namespace skin
