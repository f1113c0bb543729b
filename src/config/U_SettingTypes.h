#pragma once

#include <QList>
#include <QString>
#include <functional>

class TSetting;
class TRegistry;

// A group of settings that wants to hear about every change of its members (a settings page,
// for example). The list does not own the settings.
class TSettingList {
public:
    TSettingList() = default;
    ~TSettingList();
    TSettingList(const TSettingList&) = delete;
    TSettingList& operator=(const TSettingList&) = delete;

    void add(TSetting* setting);
    void remove(TSetting* setting);
    QList<TSetting*> settings() const { return m_settings; }

    std::function<void(TSetting&)> onChange;
    void settingChanged(TSetting& setting);

private:
    QList<TSetting*> m_settings;
};

// What a bound edit field offers the setting; implemented by the widget layer.
class TSettingView {
public:
    virtual ~TSettingView() = default;
    // Shows the text without running the field's change handlers.
    virtual void showText(const QString& text) = 0;
    // Read-only state, colour and labels follow the setting.
    virtual void refresh() = 0;
    // The setting is going away: let go of the field.
    virtual void detach() = 0;
};

// A named configuration value with a caption and a unit. A bare TSetting has no value: it is
// read-only and always valid.
class TSetting {
public:
    TSetting(const QString& name, const QString& unit, const QString& caption);
    virtual ~TSetting();
    TSetting(const TSetting&) = delete;
    TSetting& operator=(const TSetting&) = delete;

    QString name() const { return m_name; }
    QString caption() const { return m_caption; }
    QString unit() const { return m_unit; }

    virtual QString valueText() const;
    virtual void setValueText(const QString& text);
    virtual bool isReadOnly() const;
    virtual void setReadOnly(bool readOnly);
    virtual void beginEdit();
    virtual void accept();
    virtual void revert();
    virtual void refreshControls();
    // Fills errorText(); valid when it is empty.
    virtual bool validate();
    virtual void save(TRegistry& registry, const QString& keyPath);
    virtual void load(TRegistry& registry, const QString& keyPath);
    virtual void clamp();
    virtual void stepUp(bool shift, bool ctrl);
    virtual void stepDown(bool shift, bool ctrl);
    virtual void editChanged(const QString& text);

    // The value differs from what the registry holds (set by a change, cleared by a load).
    bool storedDiffers() const { return m_storedDiffers; }
    // The current value differs from the accepted one.
    bool isModified() const { return m_modified; }
    bool isEditing() const { return m_editing; }
    QString errorText() const { return m_errorText; }
    bool isValid() const { return m_errorText.isEmpty(); }

    TSettingList* ownerList() const { return m_ownerList; }

    std::function<void(TSetting&)> onChange;
    std::function<void(TSetting&)> onLoad;

protected:
    void changed();

    bool m_storedDiffers = false;
    bool m_modified = false;
    bool m_editing = false;
    QString m_errorText;

private:
    friend class TSettingList;
    QString m_name;
    QString m_unit;
    QString m_caption;
    TSettingList* m_ownerList = nullptr;
};

class TStringSetting : public TSetting {
public:
    TStringSetting(const QString& name, const QString& defaultValue, const QString& unit, const QString& caption);
    ~TStringSetting() override;

    QString valueText() const override { return m_value; }
    void setValueText(const QString& text) override;
    bool isReadOnly() const override { return m_readOnly; }
    void setReadOnly(bool readOnly) override;
    void beginEdit() override;
    void accept() override;
    void revert() override;
    void refreshControls() override;
    void save(TRegistry& registry, const QString& keyPath) override;
    void load(TRegistry& registry, const QString& keyPath) override;
    void editChanged(const QString& text) override;

    QString acceptedText() const { return m_accepted; }

    // The edit field showing this setting; at most one, not owned.
    TSettingView* view() const { return m_view; }
    void setView(TSettingView* view);

protected:
    // notify: false when the integer setter reports the change itself.
    void storeText(const QString& text, bool notify);
    virtual void acceptValue();
    virtual void revertValue();

private:
    QString m_accepted;
    QString m_value;
    bool m_readOnly = false;
    TSettingView* m_view = nullptr;
};

class TIntSetting : public TStringSetting {
public:
    TIntSetting(const QString& name, int defaultValue, const QString& unit, const QString& caption);

    int value() const { return m_intValue; }
    void setValue(int value);
    int acceptedValue() const { return m_acceptedInt; }

    int minimum() const { return m_minimum; }
    int maximum() const { return m_maximum; }
    void setMinimum(int minimum) { m_minimum = minimum; }
    void setMaximum(int maximum) { m_maximum = maximum; }
    void setRange(int minimum, int maximum);

    void setValueText(const QString& text) override;
    bool validate() override;
    void clamp() override;
    void stepUp(bool shift, bool ctrl) override;
    void stepDown(bool shift, bool ctrl) override;

protected:
    void acceptValue() override;
    void revertValue() override;

private:
    void step(qint64 delta);
    // The number the text shows when it reads as one, else the last valid value.
    qint64 shownNumber() const;

    int m_intValue = 0;
    int m_acceptedInt = 0;
    int m_minimum = -2147483647 - 1;
    int m_maximum = 2147483647;
};
