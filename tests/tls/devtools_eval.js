// Evaluates an expression in the program's web panes through the engine's
// DevTools endpoint (QTWEBENGINE_REMOTE_DEBUGGING), as the pane's own page
// would run it: a click made this way is a click the pane's link capture
// sees. Retries until the expression gives a truthy value, prints it and
// exits 0; exits 1 when the time is up.
//   node --experimental-websocket devtools_eval.js PORT URL_PART EXPRESSION SECONDS
// URL_PART picks the panes whose address contains it.
'use strict';
const [port, urlPart, expression, seconds] = process.argv.slice(2);
const deadline = Date.now() + Number(seconds) * 1000;

function evaluate(socketUrl) {
  return new Promise((resolve) => {
    const ws = new WebSocket(socketUrl);
    const timer = setTimeout(() => { ws.close(); resolve(undefined); }, 5000);
    ws.onopen = () => ws.send(JSON.stringify({
      id: 1, method: 'Runtime.evaluate', params: { expression, returnByValue: true, userGesture: true },
    }));
    ws.onmessage = (event) => {
      const reply = JSON.parse(event.data);
      if (reply.id !== 1) return;
      clearTimeout(timer);
      ws.close();
      resolve(reply.result && reply.result.result ? reply.result.result.value : undefined);
    };
    ws.onerror = () => { clearTimeout(timer); resolve(undefined); };
  });
}

async function main() {
  while (Date.now() < deadline) {
    try {
      const pages = await (await fetch(`http://127.0.0.1:${port}/json/list`)).json();
      for (const page of pages) {
        if (page.type !== 'page' || !page.url.includes(urlPart) || !page.webSocketDebuggerUrl) continue;
        const value = await evaluate(page.webSocketDebuggerUrl);
        if (value) {
          console.log(typeof value === 'string' ? value : JSON.stringify(value));
          process.exit(0);
        }
      }
    } catch (e) {
      // not listening yet
    }
    await new Promise((r) => setTimeout(r, 300));
  }
  process.exit(1);
}
main();
