#ifndef TYPEDITEM_P_H
#define TYPEDITEM_P_H

#include "modbusitembase.h"

#include <type_traits>

// The typed items stay separate QObject classes, because moc takes no templates. What lies between
// an item's value, its bytes and its text is written once here, and each item calls it.
namespace TypedItem {

// Stores `value` and installs its wire form `encode()` as the item's current bytes, then notifies the
// value and its text. An unchanged value does nothing, and its wire form is never made: most reads
// bring the value the item already holds. A NaN never equals itself, so it always counts as a change.
template <typename Item, typename T, typename Encode>
void store(Item *item, T &stored, const T &value, Encode encode)
{
    if (value == stored)
        return;
    stored = value;
    item->setBytes(encode(), ModbusItemBase::ValueChange);
    if constexpr (std::is_invocable_v<decltype(&Item::valueChanged), Item &, const T &>)
        emit item->valueChanged(value);
    else
        emit item->valueChanged();
    emit item->formatValueChanged();
}

// A numeric wire form: the ModbusBytes codec pair `encoder`/`decoder` at offset 0 and the QString
// parser (`toShort`, `toFloat` …) of its text.
template <typename T, auto encoder, auto decoder, auto parser>
struct NumberCodec
{
    using Value = T;
    static constexpr auto parse = parser;

    static ModbusBytes encode(const ModbusItemBase &, T value) { return encoder(value); }
    static ModbusBytes encodeForWrite(const ModbusItemBase &item, T value) { return encode(item, value); }
    static T decode(const ModbusItemBase &, const ModbusBytes &bytes) { return (bytes.*decoder)(0); }
    static QVariant variant(T value) { return QVariant::fromValue(value); }
};

// The members of a numeric item with the wire form `Codec`, which offers what NumberCodec offers
// (items whose form depends on their settings write their own). Integers show and parse their text
// in the item's `base`, floating-point values print with its `format` and `precision`. Text the
// parser refuses is ignored; a parsed value keeps the low bits that fit the item.
template <typename Item, typename Codec>
struct Number
{
    using T = typename Codec::Value;

    static void setValue(Item *item, T &stored, T value)
    {
        store(item, stored, value, [&] { return Codec::encode(*item, value); });
    }

    static bool writeValue(Item *item, T value) { return item->write(Codec::encodeForWrite(*item, value)); }

    static void updateValueFromBytes(Item *item) { item->setValue(Codec::decode(*item, item->bytes())); }

    static QVariant typedValue(const Item &item, const ModbusBytes &bytes)
    {
        return Codec::variant(Codec::decode(item, bytes));
    }

    static QString formatValue(const Item &item)
    {
        if constexpr (std::is_floating_point_v<T>)
            return QString::number(item.value(), item.format(), item.precision());
        else
            return QString::number(item.value(), item.base());
    }

    static void setFormatValue(Item *item, const QString &text)
    {
        bool ok = false;
        const T value = parse(*item, text, &ok);
        if (ok)
            item->setValue(value);
    }

private:
    static T parse(const Item &item, const QString &text, bool *ok)
    {
        if constexpr (std::is_floating_point_v<T>)
            return (text.*Codec::parse)(ok);
        else
            return T((text.*Codec::parse)(ok, item.base()));
    }
};

} // namespace TypedItem

#endif
