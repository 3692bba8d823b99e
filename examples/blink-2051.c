// Blinks an LED on P1.0 of an AT89C2051.
#include <8051.h>

void main(void) {
    for (;;) {
        P1_0 = !P1_0;
        for (volatile unsigned int i = 0; i < 20000; ++i) {
        }
    }
}
