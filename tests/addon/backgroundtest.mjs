// Runs the add-on's background script against a stand-in for the browser's extension API and
// checks what it sends to the host. Usage: node backgroundtest.mjs <background.js>
import assert from "node:assert/strict";
import { readFileSync } from "node:fs";
import vm from "node:vm";

const NONE = -1;
const tabs = {
    1: { id: 11, url: "https://one.example/", title: "One" },
    2: { id: 22, url: "https://two.example/", title: "Two" },
};
const sent = [];
const listeners = {};
let connections = 0;
let port = null;
let pageText = "Page text";

const event = (name) => ({ addListener: (listener) => { listeners[name] = listener; } });
const browser = {
    windows: { WINDOW_ID_NONE: NONE, onFocusChanged: event("focus"), getLastFocused: async () => ({ id: 1, focused: true }) },
    tabs: {
        onActivated: event("activated"),
        onUpdated: event("updated"),
        query: async ({ windowId }) => [tabs[windowId]],
    },
    scripting: {
        executeScript: async () => {
            if (pageText === null)
                throw new Error("no permission");
            return [{ result: pageText }];
        },
    },
    runtime: {
        connectNative: (name) => {
            assert.equal(name, "app.corvane.bridge");
            connections += 1;
            const handlers = {};
            port = {
                postMessage: (message) => sent.push(structuredClone(message)),
                onMessage: { addListener: (listener) => { handlers.message = listener; } },
                onDisconnect: { addListener: (listener) => { handlers.disconnect = listener; } },
                handlers,
            };
            return port;
        },
    },
};

const settle = (ms = 20) => new Promise((resolve) => setTimeout(resolve, ms));
const states = () => sent.filter((message) => message.type === "state").map(({ focused, url }) => `${focused} ${url}`);

vm.runInNewContext(readFileSync(process.argv[2], "utf8"), {
    chrome: browser, setTimeout, clearTimeout, TextEncoder, structuredClone, Date, Promise, Number, JSON, String, Math,
});
await settle();
assert.deepEqual(states(), ["true https://one.example/"]);

// A "none" between two windows of the browser is never reported.
listeners.focus(NONE);
listeners.focus(2);
await settle(200);
assert.deepEqual(states().slice(1), ["true https://two.example/"]);

// Focus gone to another application: the last window's tab stays the one reported.
listeners.focus(NONE);
await settle(200);
assert.deepEqual(states().slice(2), ["false https://two.example/"]);

// Only changes of the last window's active tab are sent, each once.
tabs[1].url = "https://one.example/next";
listeners.updated(11, { url: tabs[1].url }, { ...tabs[1], active: true, windowId: 1 });
tabs[2].url = "https://two.example/next";
listeners.updated(22, { url: tabs[2].url }, { ...tabs[2], active: true, windowId: 2 });
listeners.updated(22, { title: "Two" }, { ...tabs[2], active: true, windowId: 2 });
await settle();
assert.deepEqual(states().slice(3), ["false https://two.example/next"]);

// Page text on request only, for a well-formed request; refused pages send no text.
port.handlers.message({ type: "pageTextRequest", requestId: "7" });
port.handlers.message({ type: "pageTextRequest", requestId: 7 });
await settle();
pageText = null;
port.handlers.message({ type: "pageTextRequest", requestId: 8 });
await settle();
pageText = "x".repeat(3 * 1024 * 1024) + "\n".repeat(3 * 1024 * 1024);
port.handlers.message({ type: "pageTextRequest", requestId: 9 });
await settle(500);
const answers = sent.filter((message) => message.type === "pageText");
assert.deepEqual(answers.slice(0, 2).map(({ requestId, text }) => `${requestId} ${text}`), ["7 Page text", "8 undefined"]);
assert.ok(new TextEncoder().encode(JSON.stringify(answers[2])).length <= 8 * 1024 * 1024);
assert.ok(answers[2].text.length > 1024 * 1024);

// Sequence numbers rise across every message.
const sequences = sent.map((message) => message.seq);
assert.deepEqual([...sequences].sort((a, b) => a - b), sequences);
assert.equal(new Set(sequences).size, sequences.length);

// A closed port is opened again and the unchanged state sent anew.
port.handlers.disconnect();
await settle(1200);
assert.equal(connections, 2);
assert.deepEqual(states().slice(4), ["false https://two.example/next"]);
console.log("add-on background script: all checks passed");
