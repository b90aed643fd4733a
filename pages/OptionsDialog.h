#pragma once

#include "TableChoices.h"

#include <QDialog>
#include <functional>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

// The target page's options: which row stays, what counts as the same, what
// becomes of the removed rows, and the copy's indexes. It works by keyboard
// alone; OK keeps it open while `refusal` finds something wrong.
class OptionsDialog : public QDialog {
    Q_OBJECT
public:
    // `columns` are the table's, any of which may order the rows; `newTable`
    // names the default table of removed rows.
    OptionsDialog(const TableChoices& choices, const QStringList& columns, const QString& newTable,
                  std::function<QString(const TableChoices&)> refusal, QWidget* parent);

    TableChoices choices() const;
    void accept() override;

    QComboBox* keep;
    // The table's own order first, then the columns.
    QComboBox* order;
    QComboBox* direction;
    QCheckBox* ignoreCase;
    QCheckBox* trim;
    QCheckBox* keepRemoved;
    QLineEdit* removedName;
    QCheckBox* report;
    QLineEdit* reportFile;
    QPushButton* browse;
    QCheckBox* indexes;

private:
    QString m_defaultRemoved;
    std::function<QString(const TableChoices&)> m_refusal;
};
