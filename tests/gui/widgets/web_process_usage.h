#pragma once
// What the web view's helper processes cost: the WebKit processes below this
// one (its descendants in /proc), counted with their resident memory.

struct WebProcessUsage {
    int processes = 0;
    long rssKb = 0;      // the WebKit processes together
    long hostRssKb = 0;  // this process, which draws the view
};

WebProcessUsage MeasureWebProcesses();
