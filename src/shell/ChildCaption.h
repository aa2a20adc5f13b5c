#pragma once
class QWidget;
class QVBoxLayout;
class QString;

// Gives a child window a layout headed by a caption bar showing its window
// title (the child fills the main window, so this is where its name shows).
// Returns the layout below the bar.
QVBoxLayout *AddCaptionBar(QWidget *child);

// For a window whose contents come in a later version: a quiet line saying so,
// so the technician does not take the empty window for a fault.
void AddPendingNote(QVBoxLayout *body, const QString &what);
