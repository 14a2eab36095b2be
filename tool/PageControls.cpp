#include "PageControls.h"

#include <QPainter>

namespace morlex {

TTreeSelectionGate::TTreeSelectionGate(QAbstractItemModel* model, QObject* parent, Veto allow)
    : QItemSelectionModel(model, parent), allow_(std::move(allow))
{
}

bool TTreeSelectionGate::Refused(const QModelIndex& index) const
{
    return index.isValid() && allow_ && !allow_(index);
}

bool TTreeSelectionGate::Unselects(QItemSelectionModel::SelectionFlags command, bool nothing)
{
    if (!(command & QItemSelectionModel::Select))
        return (command & (QItemSelectionModel::Clear | QItemSelectionModel::Deselect | QItemSelectionModel::Toggle)) != 0;
    return nothing && (command & QItemSelectionModel::Clear);
}

void TTreeSelectionGate::setCurrentIndex(const QModelIndex& index, QItemSelectionModel::SelectionFlags command)
{
    if (Refused(index)) return;
    QItemSelectionModel::setCurrentIndex(index, command);
}

void TTreeSelectionGate::select(const QModelIndex& index, QItemSelectionModel::SelectionFlags command)
{
    if (Unselects(command, !index.isValid())) return;
    if ((command & QItemSelectionModel::Select) && Refused(index)) return;
    QItemSelectionModel::select(index, command);
}

void TTreeSelectionGate::select(const QItemSelection& selection, QItemSelectionModel::SelectionFlags command)
{
    if (Unselects(command, selection.isEmpty())) return;
    if (command & QItemSelectionModel::Select) {
        for (const QModelIndex& index : selection.indexes())
            if (Refused(index)) return;
    }
    QItemSelectionModel::select(selection, command);
}

TListDrawDelegate::TListDrawDelegate(QObject* parent, Hook beforeCell)
    : QStyledItemDelegate(parent), FontColor(Qt::black), beforeCell_(std::move(beforeCell))
{
}

void TListDrawDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    auto* self = const_cast<TListDrawDelegate*>(this);
    bool defaultDraw = true;
    if (beforeCell_) beforeCell_(self, index, index.column(), defaultDraw);
    if (defaultDraw) {
        QStyleOptionViewItem cell(option);
        cell.palette.setColor(QPalette::Text, FontColor);
        QStyledItemDelegate::paint(painter, cell, index);
    }
    painter->save();
    painter->setPen(option.palette.color(QPalette::Midlight));
    painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
    painter->drawLine(option.rect.topRight(), option.rect.bottomRight());
    painter->restore();
}

} // namespace morlex
