// Tells Corvane, through the native host it registered, which of this browser's windows has the
// focus and what that window's active tab shows, and reads a page's text when Corvane asks.
// Nothing is sent anywhere else.
"use strict";

const api = globalThis.browser ?? globalThis.chrome;
const HOST = "app.corvane.bridge";
const NO_WINDOW = api.windows.WINDOW_ID_NONE;
// Some window managers pass the focus through "none" between two windows of one browser.
const NONE_DELAY_MS = 150;
// The host takes at most 8 MiB of page text in one message.
const MESSAGE_LIMIT = 8 * 1024 * 1024 - 1024;
const RETRY_MAX_MS = 60000;

let port = null;
let portOpenedAt = 0;
let retryMs = 1000;
// Rises across restarts of this script, so the host can tell an old message from a new one.
let sequence = Date.now() * 1000;
let focusedWindow = NO_WINDOW;
// The window that had the focus last: when the user turns to Corvane, its tab is the one to save.
let lastWindow = NO_WINDOW;
let noneTimer = null;
let lastState = "";
let reports = Promise.resolve();

function connect() {
    if (port)
        return port;
    port = api.runtime.connectNative(HOST);
    portOpenedAt = Date.now();
    port.onMessage.addListener(answer);
    // Firefox unloads an idle script and the host ends with it; the next event reconnects, and
    // a port lost while the script runs is retried, slower each time the host will not stay.
    port.onDisconnect.addListener(() => {
        port = null;
        const delay = Date.now() - portOpenedAt > 10000 ? 1000 : retryMs;
        retryMs = Math.min(delay * 2, RETRY_MAX_MS);
        setTimeout(report, delay);
    });
    return port;
}

function send(message) {
    sequence += 1;
    try {
        connect().postMessage({ ...message, seq: sequence });
    } catch {
        port = null;
    }
}

async function activeTab() {
    if (lastWindow === NO_WINDOW)
        return undefined;
    const [tab] = await api.tabs.query({ active: true, windowId: lastWindow });
    return tab;
}

async function currentState() {
    const tab = await activeTab();
    return { type: "state", focused: focusedWindow !== NO_WINDOW, url: tab?.url ?? "", title: tab?.title ?? "" };
}

// One report at a time, so a slow tab query never sends an older state after a newer one.
function report() {
    reports = reports.then(async () => {
        const state = await currentState();
        const text = JSON.stringify(state);
        if (text === lastState && port)
            return;
        lastState = text;
        send(state);
    }).catch(() => {});
}

function capped(text) {
    const encoder = new TextEncoder();
    while (encoder.encode(JSON.stringify(text)).length > MESSAGE_LIMIT)
        text = text.slice(0, Math.floor(text.length * 0.9));
    return text;
}

async function pageText() {
    try {
        const tab = await activeTab();
        const [result] = await api.scripting.executeScript({ target: { tabId: tab.id }, func: () => document.body?.innerText ?? "" });
        return { text: capped(String(result?.result ?? "")) };
    } catch {
        // No permission for this page, or a page of the browser's own: Corvane fetches it.
        return {};
    }
}

async function answer(request) {
    if (request?.type !== "pageTextRequest" || !Number.isSafeInteger(request.requestId))
        return;
    send({ type: "pageText", requestId: request.requestId, ...(await pageText()) });
}

api.windows.onFocusChanged.addListener((windowId) => {
    clearTimeout(noneTimer);
    if (windowId !== NO_WINDOW) {
        focusedWindow = windowId;
        lastWindow = windowId;
        report();
        return;
    }
    noneTimer = setTimeout(() => {
        focusedWindow = NO_WINDOW;
        report();
    }, NONE_DELAY_MS);
});
api.tabs.onActivated.addListener(({ windowId }) => {
    if (windowId === lastWindow)
        report();
});
api.tabs.onUpdated.addListener((tabId, change, tab) => {
    if (tab.active && tab.windowId === lastWindow && (change.url !== undefined || change.title !== undefined))
        report();
});

api.windows.getLastFocused().then((window) => {
    lastWindow = window?.id ?? NO_WINDOW;
    if (window?.focused)
        focusedWindow = window.id;
    report();
});
