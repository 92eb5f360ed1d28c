#ifndef FOREIGNEVENTS_H
#define FOREIGNEVENTS_H

#include "cancelmessageevent.h"
#include "customfieldevent.h"
#include "eventer.h"
#include "eventtranslator.h"
#include "keypad.h"
#include "keypadekdigital.h"

#include <QtQml/qqml.h>

struct EventerForeign
{
    Q_GADGET
    QML_FOREIGN(Eventer)
    QML_NAMED_ELEMENT(Eventer)
};

struct EventTranslatorForeign
{
    Q_GADGET
    QML_FOREIGN(EventTranslator)
    QML_NAMED_ELEMENT(EventTranslator)
    QML_UNCREATABLE("EventTranslator belongs to an Eventer; declare an Eventer")
};

struct KeypadForeign
{
    Q_GADGET
    QML_FOREIGN(Keypad)
    QML_NAMED_ELEMENT(Keypad)
};

struct KeypadEkDigitalForeign
{
    Q_GADGET
    QML_FOREIGN(KeypadEkDigital)
    QML_NAMED_ELEMENT(KeypadEkDigital)
};

struct CustomFieldEventForeign
{
    Q_GADGET
    QML_FOREIGN(CustomFieldEvent)
    QML_NAMED_ELEMENT(CustomFieldEvent)
    QML_UNCREATABLE("CustomFieldEvent is handed to custom field handlers")
};

struct CancelMessageEventForeign
{
    Q_GADGET
    QML_FOREIGN(CancelMessageEvent)
    QML_NAMED_ELEMENT(CancelMessageEvent)
    QML_UNCREATABLE("CancelMessageEvent is handed to the handlers that may cancel")
};

#endif
