#include "actions/actions.h"
#include "actions/respond.h"

int action_status(void) {
    Status st;
    collect_status(&st);
    emit_status_document(&st, LEAD_PLAIN);
    return 0;
}
