#pragma once

#include "keloui_global.h"

#include <UM98X_960Handler.h>

#include <QMap>
#include <QVector>
#include <QWidget>

namespace Ui {
class ReceiverEphemeris;
}
class QComboBox;
class QLineEdit;
class QMutex;
class QPushButton;
class PanelFit;

// The broadcast ephemerides the receiver manager keeps: a BDS-3 tab and a GPS tab, each with the
// satellites received, the fields of the selected satellite and a button that asks the receiver
// for fresh logs. One window per process, hidden on close.
//
// A field's place in its record is the sum of the sizes before it, from offset 19 (after the
// log header); sizes 1, 2 and 4 show as unsigned numbers, 8 as a double with six significant
// digits. GPS PRN 3 with Toe 388800 s shows "3" (offset 19) and "388800" (offset 51).
class KELOUI_EXPORT ReceiverEphemeris : public QWidget
{
    Q_OBJECT
public:
    using GPSEPH = Ns::Skyvane::UM98X_960Handler::GPSEPH;
    using BD3EPH = Ns::Skyvane::UM98X_960Handler::BD3EPH;

    struct Field
    {
        int size;
        bool hidden;
        const char* label;
    };
    static const QVector<Field>& gpsFields();
    static const QVector<Field>& bd3Fields();
    // The text of one field of a record.
    static QString fieldText(const char* record, int offset, int size);

    static ReceiverEphemeris* Instance();
    // Public so that tests can build their own window; the system uses Instance().
    explicit ReceiverEphemeris(QWidget* parent = nullptr);
    ~ReceiverEphemeris() override;

    // The manager's BDS-3 and GPS maps and its array of ephemeris locks (0 GPS, 1 BDS-3). The
    // maps share their data with the parser's, which the relay's thread changes: the window only
    // reads them through const access, which never detaches (a detach here races that thread).
    void setEphemerisSource(const QMap<unsigned char, BD3EPH>* bd3, const QMap<unsigned char, GPSEPH>* gps,
                            QMutex* locks);
    // Forgets the source when it is still `gps`.
    void clearEphemerisSource(const QMap<unsigned char, GPSEPH>* gps);

    void ShowEphemeris(int sysid, int prn);
    // The line edit of table entry `index` (null for a hidden one).
    QLineEdit* fieldEdit(int sysid, int index) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void updateEph(int sysid);
    void closed();

public slots:
    void ephMapUpdate(int sysid);
    // Whether a receiver is on the relay, as it reports; without one a request reaches nothing.
    void StatusChange(bool connected);

private slots:
    void on_pushButton_bds_clear_clicked();
    void on_pushButton_gps_clear_clicked();
    void on_comboBox_bds_currentIndexChanged(int index);
    void on_comboBox_gps_currentIndexChanged(int index);

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void measure();
    QComboBox* combo(int sysid) const;
    QPushButton* button(int sysid) const;
    const QVector<Field>& fields(int sysid) const;
    // Copies the record of `prn` under the system's lock; false when there is none.
    bool copyRecord(int sysid, int prn, QByteArray* record);
    void showRecord(int sysid, const QByteArray& record);
    void askForUpdate(int sysid);

    Ui::ReceiverEphemeris* ui;
    PanelFit* m_fit = nullptr;
    const QMap<unsigned char, BD3EPH>* m_bd3 = nullptr;
    const QMap<unsigned char, GPSEPH>* m_gps = nullptr;
    QMutex* m_locks = nullptr;
    QVector<QLineEdit*> m_edits[2]; // index 0 GPS, 1 BDS-3, parallel to the tables
    QSize m_natural;
    bool m_measured = false;
    bool m_receiverConnected = false;
};
