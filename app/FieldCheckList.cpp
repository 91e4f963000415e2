#include "FieldCheckList.h"

#include "Scale.h"

#include "detection/FieldTicks.h"

#include <QCheckBox>
#include <QGridLayout>

namespace velmora {

FieldCheckList::FieldCheckList(FieldTicks& ticks, QWidget* parent)
    : QWidget(parent)
    , m_ticks(ticks)
{
    static_assert(FieldTicks::kCount == 5);
    setObjectName(QStringLiteral("EmailsCheckList"));
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, colours.color(QPalette::Base));
    setPalette(colours);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(px(this, 6), px(this, 4), px(this, 6), px(this, 4));
    grid->setHorizontalSpacing(px(this, 8));
    grid->setVerticalSpacing(px(this, 2));
    const char* const captions[] = { "Subject *", "Body *", "Display To", "Display From", "Size" };
    for (int i = 0; i < count(); ++i) {
        auto* box = new QCheckBox(QString::fromLatin1(captions[i]), this);
        m_items[i] = box;
        grid->addWidget(box, i / kColumns, i % kColumns);
        connect(box, &QCheckBox::toggled, this, [this, i](bool checked) {
            if (!m_showing) {
                m_ticks.setChecked(i, checked);
            }
        });
    }
    for (int column = 0; column < kColumns; ++column) {
        grid->setColumnStretch(column, 1);
    }
    grid->setRowStretch((count() + kColumns - 1) / kColumns, 1);
    showTicks();
    m_ticks.setOnChanged([this] { showTicks(); });
}

FieldCheckList::~FieldCheckList()
{
    m_ticks.setOnChanged(nullptr);
}

QCheckBox* FieldCheckList::item(int index) const
{
    return index >= 0 && index < count() ? m_items[index] : nullptr;
}

bool FieldCheckList::isChecked(int index) const
{
    const QCheckBox* box = item(index);
    return box && box->isChecked();
}

void FieldCheckList::setChecked(int index, bool checked)
{
    if (QCheckBox* box = item(index)) {
        box->setChecked(checked);
    }
}

void FieldCheckList::showTicks()
{
    m_showing = true;
    for (int i = 0; i < count(); ++i) {
        m_items[i]->setChecked(m_ticks.isChecked(i));
    }
    m_showing = false;
}

} // namespace velmora
