#pragma once

#include "core_global.h"

#include "ReplyOwner.h"

#include <QCoreApplication>
#include <QString>

// What the person reads of a request on the device configuration (a write of one value, a read)
// and of a network change, one wording per outcome; the pages only show it. Nothing is told at a
// time-out (the request stays open in quiet, its own answer may still come) nor at a link drop
// (the main window names what went unconfirmed).
class CORE_EXPORT ConfigWords
{
    Q_DECLARE_TR_FUNCTIONS(ConfigWords)
public:
    struct Told
    {
        enum Tone { None, Information, Warning, Error };
        QString title;
        QString text;
        Tone tone = None;
        bool isEmpty() const { return tone == None; }
    };

    // A write of `what` to `value`; `stored`: its answer says the instrument took it.
    static Told write(const ReplyNotice& notice, bool stored, const QString& what, const QString& value);
    // A write pressed while one is open, or that could not be handed to the link.
    static Told writeRefused(const QString& what);
    static Told writeNotSent(const QString& what);
    // A read of `what` the person asked for; `shown`: the value as the page now shows it.
    static Told read(const ReplyNotice& notice, const QString& what, const QString& shown);
    static Told readRefused(const QString& what);
    // A network change to `address` that ended without a readable answer.
    static Told networkChange(const ReplyNotice& notice, const QString& address);
};
