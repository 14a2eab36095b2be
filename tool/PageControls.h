// Small control helpers of the main window: the tree's selection veto and
// the message list's cell drawing.
#pragma once

#include <QItemSelectionModel>
#include <QStyledItemDelegate>

#include <functional>

namespace morlex {

/// Selection model of a tree view that asks before a node becomes current
/// or selected; a refused node is neither (the former selection stays).
/// A selected node stays selected until another one takes its place, as a
/// click beside the nodes or a Ctrl+click on the selected one unselects
/// nothing.
class TTreeSelectionGate : public QItemSelectionModel {
public:
    using Veto = std::function<bool(const QModelIndex&)>;

    TTreeSelectionGate(QAbstractItemModel* model, QObject* parent, Veto allow);

    void setCurrentIndex(const QModelIndex& index, QItemSelectionModel::SelectionFlags command) override;
    void select(const QModelIndex& index, QItemSelectionModel::SelectionFlags command) override;
    void select(const QItemSelection& selection, QItemSelectionModel::SelectionFlags command) override;

private:
    bool Refused(const QModelIndex& index) const;
    static bool Unselects(QItemSelectionModel::SelectionFlags command, bool nothing);

    Veto allow_;
};

/// Draws the cells of a report-view list with grid lines; before each cell
/// a hook may set the font colour (FontColor) or take over the drawing.
class TListDrawDelegate : public QStyledItemDelegate {
public:
    /// Called before each cell: the row's model index, the column and DefaultDraw.
    using Hook = std::function<void(TListDrawDelegate*, const QModelIndex&, int, bool&)>;

    TListDrawDelegate(QObject* parent, Hook beforeCell);

    /// Colour of the cell text being drawn; the hook sets it.
    QColor FontColor;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    Hook beforeCell_;
};

} // namespace morlex
