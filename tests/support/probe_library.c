// SPDX-License-Identifier: MIT
/* A loadable test library: both builds export probe_value, with different answers. */
int probe_value(void);
const char *probe_name(void);

int probe_value(void) {
    return PROBE_VALUE;
}
const char *probe_name(void) {
    return PROBE_NAME;
}
