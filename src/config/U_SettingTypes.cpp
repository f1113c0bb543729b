#include "config/U_SettingTypes.h"

#include "platform/registry.h"

#include <algorithm>

namespace {

qint64 stepSize(bool shift, bool ctrl)
{
    if (shift && ctrl)
        return 100;
    if (shift || ctrl)
        return 10;
    return 1;
}

} // namespace

// ---------------------------------------------------------------------------------------------

TSettingList::~TSettingList()
{
    for (TSetting* s : std::as_const(m_settings))
        s->m_ownerList = nullptr;
}

void TSettingList::add(TSetting* setting)
{
    if (!setting || m_settings.contains(setting))
        return;
    if (setting->m_ownerList)
        setting->m_ownerList->remove(setting);
    m_settings.append(setting);
    setting->m_ownerList = this;
}

void TSettingList::remove(TSetting* setting)
{
    if (m_settings.removeAll(setting) > 0)
        setting->m_ownerList = nullptr;
}

void TSettingList::settingChanged(TSetting& setting)
{
    if (onChange)
        onChange(setting);
}

// ---------------------------------------------------------------------------------------------

TSetting::TSetting(const QString& name, const QString& unit, const QString& caption)
    : m_name(name)
    , m_unit(unit)
    , m_caption(caption)
{
}

TSetting::~TSetting()
{
    if (m_ownerList)
        m_ownerList->remove(this);
}

QString TSetting::valueText() const
{
    return QString();
}
void TSetting::setValueText(const QString&) { }
bool TSetting::isReadOnly() const
{
    return true;
}
void TSetting::setReadOnly(bool) { }
void TSetting::beginEdit() { }
void TSetting::accept() { }
void TSetting::revert() { }
void TSetting::refreshControls() { }

bool TSetting::validate()
{
    m_errorText.clear();
    return true;
}

void TSetting::save(TRegistry&, const QString&) { }
void TSetting::load(TRegistry&, const QString&) { }
void TSetting::clamp() { }
void TSetting::stepUp(bool, bool) { }
void TSetting::stepDown(bool, bool) { }
void TSetting::editChanged(const QString&) { }

void TSetting::changed()
{
    // A value set by the program colours the bound edit just as typing does.
    refreshControls();
    if (onChange)
        onChange(*this);
    if (m_ownerList)
        m_ownerList->settingChanged(*this);
}

// ---------------------------------------------------------------------------------------------

TStringSetting::TStringSetting(
    const QString& name, const QString& defaultValue, const QString& unit, const QString& caption)
    : TSetting(name, unit, caption)
    , m_accepted(defaultValue)
    , m_value(defaultValue)
{
}

TStringSetting::~TStringSetting()
{
    if (m_view)
        m_view->detach();
}

void TStringSetting::setView(TSettingView* view)
{
    m_view = view;
    if (m_view) {
        m_view->showText(m_value);
        m_view->refresh();
    }
}

void TStringSetting::setValueText(const QString& text)
{
    storeText(text, true);
}

void TStringSetting::storeText(const QString& text, bool notify)
{
    m_value = text;
    if (m_accepted != m_value)
        m_storedDiffers = true;
    if (!m_editing)
        m_accepted = m_value;
    m_modified = m_accepted != m_value;
    if (m_view)
        m_view->showText(m_value);
    if (notify)
        changed();
}

void TStringSetting::setReadOnly(bool readOnly)
{
    m_readOnly = readOnly;
    refreshControls();
}

void TStringSetting::beginEdit()
{
    m_editing = true;
}

void TStringSetting::acceptValue()
{
    m_accepted = m_value;
}

void TStringSetting::revertValue()
{
    m_value = m_accepted;
}

// Accept and revert close the editing session that beginEdit opened.
void TStringSetting::accept()
{
    const bool wasModified = m_modified;
    acceptValue();
    m_modified = false;
    m_editing = false;
    refreshControls();
    if (wasModified)
        changed();
}

void TStringSetting::revert()
{
    const bool wasModified = m_modified;
    revertValue();
    validate();
    m_modified = false;
    m_editing = false;
    if (m_view)
        m_view->showText(m_value);
    refreshControls();
    if (wasModified)
        changed();
}

void TStringSetting::refreshControls()
{
    if (m_view)
        m_view->refresh();
}

void TStringSetting::save(TRegistry& registry, const QString& keyPath)
{
    if (m_storedDiffers)
        registry.writeString(keyPath, name(), valueText());
}

void TStringSetting::load(TRegistry& registry, const QString& keyPath)
{
    if (isReadOnly())
        return;
    const QString text = registry.readString(keyPath, name());
    if (text.isEmpty())
        return;
    setValueText(text);
    m_storedDiffers = false;
    if (onLoad)
        onLoad(*this);
}

void TStringSetting::editChanged(const QString& text)
{
    setValueText(text);
}

// ---------------------------------------------------------------------------------------------

TIntSetting::TIntSetting(const QString& name, int defaultValue, const QString& unit, const QString& caption)
    : TStringSetting(name, QString::number(defaultValue), unit, caption)
    , m_intValue(defaultValue)
    , m_acceptedInt(defaultValue)
{
}

void TIntSetting::setRange(int minimum, int maximum)
{
    m_minimum = minimum;
    m_maximum = maximum;
}

// Both setters report the change once, after text and number agree again.
void TIntSetting::setValueText(const QString& text)
{
    storeText(text, false);
    if (validate()) {
        m_intValue = text.toInt();
        if (!m_editing)
            m_acceptedInt = m_intValue;
    }
    changed();
}

void TIntSetting::setValue(int value)
{
    m_intValue = value;
    if (!m_editing)
        m_acceptedInt = value;
    storeText(QString::number(value), false);
    validate();
    changed();
}

bool TIntSetting::validate()
{
    bool ok = false;
    const int v = valueText().toInt(&ok);
    if (!ok)
        m_errorText = QStringLiteral("Invalid format");
    else if (v < m_minimum)
        m_errorText = QStringLiteral("Min value = ") + QString::number(m_minimum);
    else if (v > m_maximum)
        m_errorText = QStringLiteral("Max value = ") + QString::number(m_maximum);
    else
        m_errorText.clear();
    return m_errorText.isEmpty();
}

qint64 TIntSetting::shownNumber() const
{
    bool ok = false;
    const qint64 v = valueText().toLongLong(&ok);
    return ok ? v : m_intValue;
}

void TIntSetting::clamp()
{
    bool ok = false;
    const qint64 v = valueText().toLongLong(&ok);
    if (!ok)
        return;
    if (v < m_minimum)
        setValue(m_minimum);
    else if (v > m_maximum)
        setValue(m_maximum);
}

void TIntSetting::step(qint64 delta)
{
    // In 64 bits, so that a step past the 32-bit range is clamped instead of wrapping.
    const qint64 v = std::clamp(shownNumber() + delta, qint64(m_minimum), qint64(std::max(m_minimum, m_maximum)));
    setValue(int(v));
}

void TIntSetting::stepUp(bool shift, bool ctrl)
{
    step(stepSize(shift, ctrl));
}

void TIntSetting::stepDown(bool shift, bool ctrl)
{
    step(-stepSize(shift, ctrl));
}

void TIntSetting::acceptValue()
{
    TStringSetting::acceptValue();
    m_acceptedInt = m_intValue;
}

void TIntSetting::revertValue()
{
    TStringSetting::revertValue();
    m_intValue = m_acceptedInt;
}
