/* Sheetfray's skin: a Qt style sheet the window reads from x/o.cjs beside the program.
   The window draws on the desktop's button face; the skin gives selections the icon's green.
   Text colours stay the palette's, so a dark desktop keeps light text and a disabled button
   keeps its greyed caption. */
QLineEdit, QTreeView {
    selection-background-color: #2e7d52;
    selection-color: white;
}
