#pragma once

// The product catalogue: the platform's products, matched against every order.
