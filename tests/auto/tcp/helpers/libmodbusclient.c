/* An independent Modbus/TCP client for the interoperability tests: runs a fixed sequence of
 * functions 3, 4, 6 and 16 against host:port and prints what it read, one line per step. */
#include <modbus.h>

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>

static int report(const char *step, int rc)
{
    if (rc < 0) {
        printf("%s: error %s\n", step, modbus_strerror(errno));
        return 1;
    }
    return 0;
}

int main(int argc, char **argv)
{
    if (argc != 4) {
        fprintf(stderr, "usage: %s host port unit\n", argv[0]);
        return 2;
    }
    modbus_t *ctx = modbus_new_tcp(argv[1], atoi(argv[2]));
    if (!ctx || modbus_set_slave(ctx, atoi(argv[3])) != 0 || modbus_connect(ctx) != 0) {
        printf("connect: error %s\n", modbus_strerror(errno));
        return 1;
    }
    uint16_t regs[8] = { 0 };
    int failures = 0;
    const uint16_t values[3] = { 0x1111, 0x2222, 0x3333 };

    failures += report("write 6", modbus_write_register(ctx, 0, 0xBEEF));
    failures += report("write 16", modbus_write_registers(ctx, 1, 3, values));
    int rc = modbus_read_registers(ctx, 0, 4, regs);
    failures += report("read 3", rc);
    if (rc == 4)
        printf("read 3: %04X %04X %04X %04X\n", regs[0], regs[1], regs[2], regs[3]);
    rc = modbus_read_input_registers(ctx, 0, 2, regs);
    failures += report("read 4", rc);
    if (rc == 2)
        printf("read 4: %04X %04X\n", regs[0], regs[1]);
    rc = modbus_read_registers(ctx, 900, 1, regs);
    printf("read unmapped: %s\n", rc < 0 ? modbus_strerror(errno) : "answered");

    modbus_close(ctx);
    modbus_free(ctx);
    return failures ? 1 : 0;
}
