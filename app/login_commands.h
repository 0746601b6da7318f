#pragma once
// The clicked handlers of the two login buttons under the browser panel.

// Wipes the panel's cookies, empties the cookie box and loads the Taobao login page.
void LoadTaobaoLogin();
// The same with the Alibaba login page.
void LoadAlibabaLogin();
