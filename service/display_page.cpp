#include "service/display_page.h"

namespace velk {

namespace {

// Plain HTML and script, no framework: the picture arrives as a PNG in each OnDataChange event
// and is drawn at its own size onto a canvas that the page scales without smoothing. The
// player's UDN is taken from the address and only ever used as text.
constexpr std::string_view kPage = R"html(<!doctype html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>Player display</title>
<style>
  html, body { margin: 0; height: 100%; background: #15171a; color: #c8ccd2;
               font: 15px system-ui, sans-serif; }
  body { display: flex; flex-direction: column; align-items: center; justify-content: center; }
  h1 { font-size: 1.1em; font-weight: 500; margin: 0 0 1em; }
  #frame { width: 96vw; max-width: 1600px; padding: 1.2vw; background: #000;
           border-radius: 6px; box-shadow: 0 0 0 2px #2a2e33; }
  canvas { display: block; width: 100%; image-rendering: pixelated;
           image-rendering: crisp-edges; }
  #status { margin-top: 1em; min-height: 1.3em; }
</style>
</head>
<body>
<h1 id="name">Player display</h1>
<div id="frame"><canvas id="display" width="280" height="16"></canvas></div>
<div id="status">Connecting...</div>
<script>
"use strict";
const udn = decodeURIComponent(location.pathname.slice("/display/".length));
const canvas = document.getElementById("display");
const context = canvas.getContext("2d");
const statusLine = document.getElementById("status");
let session = "";
let shown = 0;

function say(text) { statusLine.textContent = text; }

async function post(path, body) {
  const response = await fetch(path, {
    method: "POST",
    headers: { "Content-Type": "application/json", "X-Velk-Session": session },
    body: JSON.stringify(body),
  });
  const answer = await response.json();
  if (!response.ok || (typeof answer.hresult === "number" && answer.hresult < 0))
    throw new Error(answer.description || answer.message || "HTTP " + response.status);
  return answer.result;
}

function get(object, member) {
  return post("/call", { object: object, member: member, kind: "get" });
}

// Draws each picture in the order it came, at the display's own size.
let drawing = Promise.resolve();
function show(png) {
  drawing = drawing.then(() => new Promise(done => {
    const image = new Image();
    image.onload = () => {
      if (canvas.width !== image.width || canvas.height !== image.height) {
        canvas.width = image.width;
        canvas.height = image.height;
      }
      context.drawImage(image, 0, 0);
      document.body.dataset.shown = String(++shown);
      done();
    };
    image.onerror = done;
    image.src = "data:image/png;base64," + png;
  }));
}

async function follow() {
  const devices = await get(0, "VelkDevices");
  const player = await post("/call",
      { object: devices.object, member: "Item", kind: "method", args: [udn] });
  const name = await get(player.object, "Name");
  document.getElementById("name").textContent = name;
  document.title = name;
  const rcp = await get(player.object, "RCPSession");
  await post("/call", { object: rcp.object, member: "MonitorDisplay", kind: "put", args: [true] });
  const display = await get(rcp.object, "Display");
  await post("/advise", { object: display.object });
  say("");
}

// The stream is this page's session: closing the page (or losing the stream) ends it, and with
// it the page's request to monitor the display. The browser opens a new stream by itself.
const events = new EventSource("/events");
events.addEventListener("session", event => {
  session = JSON.parse(event.data).session;
  follow().catch(error => say("The player " + udn + " cannot be shown: " + error.message));
});
events.addEventListener("OnDataChange", event => show(JSON.parse(event.data).args[0]));
events.onerror = () => say("The connection to the service is lost; trying again...");
</script>
</body>
</html>
)html";

} // namespace

std::string_view DisplayPageHtml()
{
    return kPage;
}

} // namespace velk
