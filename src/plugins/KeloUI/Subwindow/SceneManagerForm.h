#pragma once

#include "keloui_global.h"

#include <QDir>
#include <QVector>
#include <QWidget>

class CollectSet;

namespace Ui {
class SceneManagerForm;
}

// The transponder scene manager: saves and restores the bands, bit width and attenuation of the
// collection page together with the transponder delay and Doppler of the device configuration,
// and shows whether they still match the scene last loaded or saved. A scene is one INI file
// (default folder "/../TransScene" below the application directory), all values decimal:
//
//   [Freq]                 [Bit]      [Trans]          [Attenuation]
//   Count=2                value=4    delay=60         value=10
//   Freq1=1                           doppler=1200
//   Freq2=3
//
// A missing key or a text that is no number reads as 0; a file without a bit code or without
// bands is refused.
class KELOUI_EXPORT SceneManagerForm : public QWidget
{
    Q_OBJECT
public:
    // At most this many band entries are read from a file (its count is not trusted).
    static constexpr int kMaxBands = 256;

    struct Values
    {
        QVector<quint32> bands;
        int bit = 0;
        int atten = 0;
        quint32 delay = 0;
        quint32 doppler = 0;
        bool operator==(const Values& o) const
        {
            return bands == o.bands && bit == o.bit && atten == o.atten && delay == o.delay && doppler == o.doppler;
        }
    };

    SceneManagerForm(CollectSet* collectSet, QWidget* parent = nullptr);
    ~SceneManagerForm() override;

    QString scenePath() const { return m_scenePath; }
    QString sceneFolder() const { return m_folder.absolutePath(); }
    const Values& currentValues() const { return m_current; }

public slots:
    void initUI();
    void on_pushButton_clicked();
    void on_pushButton_read_clicked();
    void on_pushButton_save_clicked();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void readCurrentConfig();
    void updateShowInfo();
    QString startLocation() const;
    static QString filter();
    void message(bool critical, const QString& title, const QString& text);

    CollectSet* m_collect;
    QString m_scenePath;
    QDir m_folder;
    bool m_initialised = false;
    int m_channels = 0;
    quint32 m_transportMode = 0;
    Values m_current;
    Values m_reference;

    Ui::SceneManagerForm* ui;
};
