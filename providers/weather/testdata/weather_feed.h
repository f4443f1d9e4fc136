// Test support: a weather feed as the weather service sends it, for Sunnyvale in metric units,
// with two forecasts.
#pragma once

#include <string>

#include "providers/weather/weather_renderer.h"

namespace velk::testing {

inline const std::string kWeatherFeed = std::string(R"(<?xml version="1.0" encoding="UTF-8"?>
<rss version="2.0" xmlns:yweather=")") + kYWeatherNamespace + R"(" xmlns:geo=")" + kGeoNamespace +
                          R"(">
<channel>
  <title>Weather - Sunnyvale, CA</title>
  <yweather:location city="Sunnyvale" region="CA" country="US"/>
  <yweather:units temperature="C" distance="km" pressure="mb" speed="km/h"/>
  <yweather:wind chill="18" direction="200" speed="11"/>
  <yweather:atmosphere humidity="58" visibility="1609" pressure="1015.92" rising="1"/>
  <yweather:astronomy sunrise="7:15 am" sunset="4:52 pm"/>
  <item>
    <title>Conditions for Sunnyvale, CA</title>
    <geo:lat>37.37</geo:lat>
    <yweather:condition text="Partly Cloudy" code="30" temp="18" date="Thu, 10 Dec 2026 10:56 am PST"/>
    <yweather:forecast day="Thu" date="10 Dec 2026" low="9" high="17" text="Partly Cloudy" code="30"/>
    <yweather:forecast day="Fri" date="11 Dec 2026" low="7" high="15" text="Showers" code="11"/>
  </item>
</channel>
</rss>)";

} // namespace velk::testing
