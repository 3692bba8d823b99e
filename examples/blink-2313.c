// Blinks an LED on PB0 of an AT90S2313; how long it stays on or off is a byte in the EEPROM,
// so the EEPROM image has something to write.
#include <avr/eeprom.h>
#include <avr/io.h>
#include <util/delay_basic.h>

static uint8_t EEMEM half_period = 25;  // in 10 ms steps at 4 MHz

int main(void) {
    DDRB = 0x01;
    for (;;) {
        PORTB ^= 0x01;
        for (uint8_t n = eeprom_read_byte(&half_period); n > 0; --n) {
            _delay_loop_2(10000);
        }
    }
}
