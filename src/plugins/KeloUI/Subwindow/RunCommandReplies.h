#pragma once

#include "keloui_global.h"

#include "HeldControls.h"

#include <MsgHeader.h>
#include <ReplyOwner.h>
#include <SystemState.h>

#include <QCoreApplication>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QWidget>

#include <functional>

// What becomes of a run page's start and stop (collection, playback), told to the person in the
// page's own words. Both pages send a start and a stop of the Collect type and wait in the reply
// table; this is the one place that turns each outcome (ReplyOwner.h) into what the person reads
// and the layout the page takes. The page gives its texts, the states its start leads to, and how
// it shows a start or stop that ended unconfirmed.
class KELOUI_EXPORT RunCommandReplies
{
    Q_DECLARE_TR_FUNCTIONS(RunCommandReplies)
public:
    struct Texts
    {
        quint8 startCode = 0; // the control codes (command + 1) of the page's start and stop
        quint8 stopCode = 0;
        QString startTitle; // "启动采集/转发"
        QString stopTitle;
        QString startFailed; // "启动采集/转发失败"
        QString stopFailed;
        QString lateStarted; // shown when a start told as unanswered took effect after all
        QString lateStopped;
        const char* lateStartRefused = nullptr; // log lines (context "FileLogger")
        const char* lateStopRefused = nullptr;
        QList<SystemState> running; // the states a start leads to
        QList<QPair<SystemState, QString>> stateNames;
        QString otherState; // any state not named
    };

    // `startEnded` shows the page as before a start (its start unconfirmed), `stopEnded` as
    // running (its stop unconfirmed). Both are called on the page's thread, with the page alive.
    RunCommandReplies(QObject* page, Texts texts, std::function<void()> startEnded, std::function<void()> stopEnded);

    // The page as the owner of a start or stop it sends.
    ReplyOwner owner();
    // The control code of the page's command that waits in time, or ControlNone.
    quint8 pending() const;
    // Why the control that sends this code is held ("等待设备应答…", "正在核对…"), or empty.
    QString heldBecause(quint8 code) const;
    // The control as the page's layout left it, held off with the reason while its kind is open;
    // it is let go once the request has ended.
    void hold(QWidget* control, quint8 code);
    // A press that came while its kind is open: the person is told why nothing was sent. True
    // when it was held.
    bool refused(quint8 code) const;
    // A state report came: a command answered unreadably is told what it shows.
    void stateReported(SystemState state);

private:
    void tell(const ReplyNotice& notice);
    void tellOutcome(const ReplyNotice& notice);
    void timedOut(quint8 code);
    void late(quint8 code, const QByteArray& reply);
    void malformed(quint8 code);
    void settled(quint8 code, const QByteArray& report);
    QString stateName(SystemState state) const;
    QString title(quint8 code) const { return code == m_texts.startCode ? m_texts.startTitle : m_texts.stopTitle; }

    QObject* m_page;
    Texts m_texts;
    std::function<void()> m_startEnded;
    std::function<void()> m_stopEnded;
    HeldControls m_held;                        // controls held off while their kind is open
    QList<quint8> m_malformed;                  // the control codes of commands answered unreadably
    SystemState m_reported = SystemState::Idle; // what the last state report showed
};
