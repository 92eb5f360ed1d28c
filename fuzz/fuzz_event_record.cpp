#include "eventdeparser.h"
#include "eventparser.h"
#include "fuzzcheck.h"
#include "ievent.h"

// One device event record, as a transport delivers it after removing its length byte.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static EventParser parser;
    static EventDeparser deparser;
    const ModbusBytes record = FuzzCheck::view(data, size);
    const std::unique_ptr<IEvent> event(parser.parse(record));
    const bool keypad = size == 2 && data[0] == 1;
    const bool system = size == 1 && (data[0] == 2 || data[0] == 3);
    if (bool(event) != (keypad || system))
        FuzzCheck::fail(event ? "accepted a malformed record" : "refused a well-formed record", record);
    if (!event)
        return 0;
    event->toString(true);
    ModbusBytes rebuilt;
    const bool built = deparser.deparse(*event, rebuilt);
    if (built != keypad || (built && rebuilt != record))
        FuzzCheck::fail("a keypad event does not build back to its record", record);
    return 0;
}
