#pragma once
// Paints a TDirectoryTree and forwards events to it: every rule about
// nodes, boxes and presses lives in the model; this widget only draws the
// rows (the node's own look replaces the control's) and scrolls.

#include "search/DirectoryTree.h"

#include <QAbstractScrollArea>

#include <functional>
#include <string>

namespace cv {

class TTreeView : public QAbstractScrollArea {
  Q_OBJECT
public:
  explicit TTreeView(TDirectoryTree& model, QWidget* parent = nullptr);

  TDirectoryTree& Model() { return Tree; }
  // The node with this title is drawn bold and italic (the dialog's
  // starting directory); empty: none.
  std::string CurrentTitle;
  // Text colour of the rows that are not selected (the panel uses the
  // button text colour).
  uint32_t TextColor = 0;
  bool OwnTextColor = false;

  int RowHeight() const;
  int Indent() const;
  // The rectangle of the node's text in viewport coordinates (empty when hidden).
  QRect TextRect(const TTreeNode& node) const;
  QRect RowRect(int row) const;
  TTreeNode* NodeAt(const QPoint& at) const;
  void EnsureVisible(const TTreeNode* node);

  // The selection changed (after the view showed it).
  std::function<void(TTreeNode*)> OnSelectionChanged;
  // A press that the model handled: the dialog and panel act on right
  // presses and start drags from left ones.
  std::function<void(TTreeNode* node, const QMouseEvent& event)> OnMousePressed;
  std::function<void(const QMouseEvent& event)> OnMouseMoved;
  std::function<void(const QMouseEvent& event)> OnMouseReleased;
  // Enter on the selected node.
  std::function<void(TTreeNode*)> OnEnter;

protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

private:
  void ModelChanged();
  void UpdateScrollBar();
  QString DisplayText(const TTreeNode& node) const;
  QFont FontOf(const TTreeNode& node) const;
  void PaintRow(QPainter& canvas, int row, const QRect& rect);
  void Press(QMouseEvent* event, bool doubleClick);

  TDirectoryTree& Tree;
};

} // namespace cv
