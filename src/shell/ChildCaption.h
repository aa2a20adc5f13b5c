#pragma once
class QWidget;
class QVBoxLayout;
class QString;

// Gives a child window a layout headed by a caption bar showing its window
// title (the child fills the main window, so this is where its name shows).
// Returns the layout below the bar.
QVBoxLayout *AddCaptionBar(QWidget *child);
