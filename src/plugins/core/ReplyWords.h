#pragma once

#include "core_global.h"

#include <QCoreApplication>
#include <QString>

// What the person reads of a request that waits for the instrument, one wording per outcome,
// the same on every page and link: the pages only show it, beside the name of what they sent.
// A time-out is not a failure: the request is being checked, and its outcome is told once,
// when it is known (in time, late, or by its check).
class CORE_EXPORT ReplyWords
{
    Q_DECLARE_TR_FUNCTIONS(ReplyWords)
public:
    // Its wait ran out; its check is under way.
    static QString timedOut();
    // A press while a request of its kind is open: nothing went out, and why.
    static QString refusedWhileOpen(const QString& reason);
    // Its check showed it did not take effect; `shown`: what the check found.
    static QString notDone(const QString& shown);
    // Its own answer came after its wait, and refused.
    static QString lateRefused();
    // The request could not be handed to the link.
    static QString notSent();
    // Its check could not read the instrument's state: the title, and the text naming `request`.
    static QString stateCheckLostTitle();
    static QString stateCheckLost(const QString& request);
};
