#pragma once
// The signed call that answers with a Taobao or Tmall item's description.

#include <string>
#include <string_view>

// The address of the signed description call for an item, or "" when the cookie carries no
// "_m_h5_tk" token to sign it with. `descriptionPage` is the script page the item names (its id,
// type and f parameters go into the call); `nowMs` the current time in milliseconds.
std::string TaobaoDescriptionCallUrl(std::string_view host, std::string_view cookies,
                                     std::string_view itemId, std::string_view descriptionPage,
                                     long long nowMs);
