#pragma once

#include <QWidget>

#include <array>

class QCheckBox;

namespace velmora {

class FieldTicks;

// The field list `EmailsCheckList`: five tick items in three columns, mirroring the search's field ticks both
// ways (a tick given here reaches the ticks at once; a change of the ticks shows here).
class FieldCheckList : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kColumns = 3;

    FieldCheckList(FieldTicks& ticks, QWidget* parent = nullptr);
    ~FieldCheckList() override;

    int count() const { return static_cast<int>(m_items.size()); }
    QCheckBox* item(int index) const;
    bool isChecked(int index) const;
    void setChecked(int index, bool checked);

private:
    void showTicks();

    FieldTicks& m_ticks;
    std::array<QCheckBox*, 5> m_items {};
    bool m_showing = false;
};

} // namespace velmora
