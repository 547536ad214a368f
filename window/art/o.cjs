/* Sheetfray's skin: a Qt style sheet the window reads from x/o.cjs beside the program.
   The window keeps its laid-out look on the button face; the skin only deepens the buttons'
   text and gives selections the icon's green. */
QPushButton {
    color: #102030;
}
QLineEdit, QTreeView {
    selection-background-color: #2e7d52;
    selection-color: white;
}
