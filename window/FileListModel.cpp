#include "window/FileListModel.h"

#include "window/Text.h"

#include <QApplication>
#include <QStyle>

namespace sheetfray::window {

FileListModel::FileListModel(const filelist::FileList& files, QObject* parent)
    : QAbstractListModel(parent)
    , m_files(files)
    , m_rows(files.count())
{}

void FileListModel::setHeader(const QString& header)
{
    m_header = header;
    emit headerDataChanged(Qt::Horizontal, 0, 0);
}

int FileListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

QVariant FileListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_files.count()) {
        return {};
    }
    const int position = index.row() + 1;
    // Texts are converted when shown: a list of a hundred thousand paths holds them once.
    switch (role) {
    case Qt::DisplayRole:
        return toQString(m_files.text(position));
    case Qt::ToolTipRole: {
        // The full path, which a narrow column cuts off; then why the workbook was not read.
        QString tip = toQString(m_files.text(position));
        if (const std::string_view note = m_files.note(position); !note.empty()) {
            tip += QLatin1Char('\n') + toQString(note);
        }
        return tip;
    }
    case Qt::DecorationRole:
        if (!m_files.note(position).empty()) {
            return QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
        }
        return {};
    default:
        return {};
    }
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (section == 0 && orientation == Qt::Horizontal && role == Qt::DisplayRole) {
        return m_header;
    }
    return {};
}

Qt::ItemFlags FileListModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled : Qt::NoItemFlags;
}

void FileListModel::appended(int first, int last)
{
    beginInsertRows({}, first - 1, last - 1);
    m_rows = m_files.count();
    endInsertRows();
}

void FileListModel::removed(int position)
{
    beginRemoveRows({}, position - 1, position - 1);
    m_rows = m_files.count();
    endRemoveRows();
}

void FileListModel::cleared()
{
    beginResetModel();
    m_rows = 0;
    endResetModel();
}

void FileListModel::changed(int position)
{
    const QModelIndex changedIndex = index(position - 1);
    emit dataChanged(
        changedIndex, changedIndex, {Qt::DisplayRole, Qt::ToolTipRole, Qt::DecorationRole});
}

} // namespace sheetfray::window
