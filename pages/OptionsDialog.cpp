#include "OptionsDialog.h"

#include "ui/Messages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// A check box that enables the boxes beside it only while it is checked.
QWidget* checkedRow(QCheckBox* check, std::initializer_list<QWidget*> boxes) {
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(check);
    for (QWidget* box : boxes) {
        layout->addWidget(box, box->inherits("QLineEdit") ? 1 : 0);
        box->setEnabled(check->isChecked());
        QObject::connect(check, &QCheckBox::toggled, box, &QWidget::setEnabled);
    }
    return row;
}

} // namespace

OptionsDialog::OptionsDialog(const TableChoices& choices, const QStringList& columns,
                             const QString& newTable,
                             std::function<QString(const TableChoices&)> refusal, QWidget* parent)
    : QDialog(parent), m_defaultRemoved(newTable + QStringLiteral("_REMOVED")),
      m_refusal(std::move(refusal)) {
    setWindowTitle(QStringLiteral("Options"));
    const RunOptions& options = choices.options;

    keep = new QComboBox;
    keep->addItems({QStringLiteral("The first row"), QStringLiteral("The last row")});
    keep->setCurrentIndex(options.keep == RunOptions::Keep::Last ? 1 : 0);
    keep->setAccessibleName(QStringLiteral("Row that stays"));
    order = new QComboBox;
    order->addItem(QStringLiteral("the table's own order"));
    order->addItems(columns);
    order->setAccessibleName(QStringLiteral("Order of the rows"));
    direction = new QComboBox;
    direction->addItems({QStringLiteral("rising"), QStringLiteral("falling")});
    direction->setAccessibleName(QStringLiteral("Direction of the order"));
    if (!options.orderBy.isEmpty()) {
        order->setCurrentIndex(
            std::max(0, int(columns.indexOf(options.orderBy.first().column)) + 1));
        direction->setCurrentIndex(options.orderBy.first().descending ? 1 : 0);
    }
    direction->setEnabled(order->currentIndex() > 0);
    connect(order, &QComboBox::currentIndexChanged, direction,
            [this](int index) { direction->setEnabled(index > 0); });

    ignoreCase = new QCheckBox(QStringLiteral("Letter &case does not matter"));
    ignoreCase->setChecked(options.ignoreCase);
    trim = new QCheckBox(QStringLiteral("&Blanks at either end do not matter"));
    trim->setChecked(options.trim);
    keepRemoved = new QCheckBox(QStringLiteral("Keep the removed rows in a &table named"));
    keepRemoved->setChecked(choices.keepRemoved);
    removedName =
        new QLineEdit(options.removedInto.isEmpty() ? m_defaultRemoved : options.removedInto);
    removedName->setAccessibleName(QStringLiteral("Table of removed rows"));
    report = new QCheckBox(QStringLiteral("Write the groups to a &report file"));
    report->setChecked(!options.reportFile.isEmpty());
    reportFile = new QLineEdit(options.reportFile);
    reportFile->setAccessibleName(QStringLiteral("Report file"));
    browse = new QPushButton(QStringLiteral("Bro&wse..."));
    browse->setAccessibleName(QStringLiteral("Choose the report file"));
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString file =
            QFileDialog::getSaveFileName(this, QStringLiteral("Report file"), reportFile->text(),
                                         QStringLiteral("JSON lines (*.jsonl);;All files (*)"));
        if (!file.isEmpty())
            reportFile->setText(file);
    });
    indexes = new QCheckBox(QStringLiteral("Give the new table the source's &indexes"));
    indexes->setChecked(!options.withoutIndexes);

    auto* form = new QFormLayout;
    const auto labelled = [&](const QString& text, QWidget* box) {
        auto* label = new QLabel(text);
        label->setBuddy(box);
        form->addRow(label, box);
    };
    labelled(QStringLiteral("Row that &stays:"), keep);
    labelled(QStringLiteral("In the &order of:"), order);
    labelled(QStringLiteral("&Direction:"), direction);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &OptionsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    for (QWidget* row : {static_cast<QWidget*>(ignoreCase), static_cast<QWidget*>(trim),
                         checkedRow(keepRemoved, {removedName}),
                         checkedRow(report, {reportFile, browse}), static_cast<QWidget*>(indexes)})
        layout->addWidget(row);
    layout->addWidget(buttons);
    setTabOrder(keep, order);
    keep->setFocus();
}

TableChoices OptionsDialog::choices() const {
    TableChoices chosen;
    RunOptions& options = chosen.options;
    options.keep = keep->currentIndex() == 1 ? RunOptions::Keep::Last : RunOptions::Keep::First;
    if (order->currentIndex() > 0)
        options.orderBy = {{order->currentText(), direction->currentIndex() == 1}};
    options.ignoreCase = ignoreCase->isChecked();
    options.trim = trim->isChecked();
    chosen.keepRemoved = keepRemoved->isChecked();
    // The default name goes on following the new table's name.
    if (removedName->text() != m_defaultRemoved)
        options.removedInto = removedName->text();
    if (report->isChecked())
        options.reportFile = reportFile->text();
    options.withoutIndexes = !indexes->isChecked();
    return chosen;
}

void OptionsDialog::accept() {
    QString refusal;
    if (keepRemoved->isChecked() && removedName->text().trimmed().isEmpty())
        refusal = QStringLiteral("Please enter a name for the table of removed rows.");
    else if (report->isChecked() && reportFile->text().isEmpty())
        refusal = QStringLiteral("Please choose a file for the report.");
    else
        refusal = m_refusal(choices());
    if (!refusal.isEmpty()) {
        Messages::show(refusal);
        return;
    }
    QDialog::accept();
}
