// The file list as a one-column model for the list view; the list itself keeps the texts.
#pragma once

#include "filelist/FileList.h"

#include <QAbstractListModel>
#include <QString>

namespace sheetfray::window {

// Rows are the entries, row 0 being entry 1. The view is told of each change by the owner,
// who listens to the list.
class FileListModel final : public QAbstractListModel
{
    Q_OBJECT

public:
    explicit FileListModel(const filelist::FileList& files, QObject* parent = nullptr);

    void setHeader(const QString& header);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // The list's changes, as its listener hears them.
    void appended(int first, int last);
    void removed(int position);
    void cleared();
    void changed(int position);

private:
    const filelist::FileList& m_files;
    QString m_header;
    // Rows the view knows of; the list may already hold more while a change is told.
    int m_rows = 0;
};

} // namespace sheetfray::window
