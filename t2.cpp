#include <firebird/Interface.h>
#include <ibase.h>
#include <cstdio>
using namespace Firebird;
int main(int argc, char** argv) {
  IMaster* m = fb_get_master_interface();
  ThrowStatusWrapper st(m->getStatus());
  try {
    IXpbBuilder* dpb = m->getUtilInterface()->getXpbBuilder(&st, IXpbBuilder::DPB, nullptr, 0);
    dpb->insertString(&st, isc_dpb_user_name, "SYSDBA");
    dpb->insertString(&st, isc_dpb_password, "brickwall");
    dpb->insertString(&st, isc_dpb_config, "Providers = Remote");
    dpb->insertInt(&st, isc_dpb_connect_timeout, 3);
    m->getDispatcher()->attachDatabase(&st, argv[1], dpb->getBufferLength(&st), dpb->getBuffer(&st));
    printf("attached\n");
  } catch (const FbException& e) {
    char buf[1024]; m->getUtilInterface()->formatStatus(buf, sizeof buf, e.getStatus()); printf("error: %s\n", buf);
  }
}
