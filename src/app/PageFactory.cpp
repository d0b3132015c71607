#include "PageFactory.h"

#include "Page_Start.h"

// Choosing what to deal.
#include "Page_CardDistribution.h"
#include "Page_Parameters.h"

GenericChildDialog* CreatePageObject(int number, const char* name, unsigned template_id,
                                     MachineHost* host) {
  (void)host;
  switch (number) {
    case 0:
      return new Page_Start(name);

    case 1:  // parameters
      return new Page_Parameters(name);

    case 2:  // card distribution
      return new Page_CardDistribution(name);

    case 3:  // deal menu
      return new EmptyPage(name, template_id);

    case 4:  // split
      return new EmptyPage(name, template_id);

    case 5:  // service
      return new EmptyPage(name, template_id);

    case 6:  // about
      return new EmptyPage(name, template_id);

    default:
      return new EmptyPage(name, template_id);
  }
}
